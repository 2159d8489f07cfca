// Every prefix and a bounded number of seeded mutations of valid encodings
// must decode or fail cleanly; the address sanitizer catches any read past
// the exact-size buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "rtmp/amf.h"
#include "rtmp/amf_bytes.h"
#include "rtmp/rtmp_url.h"
#include "tests/rtmp/amf_test_bytes.h"
#include "tests/rtmp/captured_diag.h"

namespace {

constexpr int kMutationsPerSeed = 600;

std::vector<std::string> Seeds() {
  const std::string number = Bytes({0x00, 0x40, 0x59, 0, 0, 0, 0, 0, 0});
  const std::string amf3 = Bytes({0x11, 0x0A, 0x2B, 0x03, 'C', 0x03, 'a', 0x03, 'b', 0x04, 0x05,
                                  0x06, 0x05, 'x', 'y', 0x03, 'd', 0x0A, 0x0B, 0x01, 0x03, 'e',
                                  0x08, 0x01, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x01, 0x01});
  return {
      // "_result", 1, {fmsVer, capabilities}, {level, code}
      Bytes({0x02, 0x00, 0x07}) + "_result" + number + Bytes({0x03, 0x00, 0x06}) + "fmsVer" +
          Bytes({0x02, 0x00, 0x03}) + "FMS" + Bytes({0x00, 0x0C}) + "capabilities" + number +
          Bytes({0x00, 0x00, 0x09, 0x03, 0x00, 0x05}) + "level" + Bytes({0x02, 0x00, 0x06}) +
          "status" + Bytes({0x00, 0x00, 0x09}),
      // "onMetaData", ECMA array with a nested strict array, a date and a long string
      Bytes({0x02, 0x00, 0x0A}) + "onMetaData" + Bytes({0x08, 0, 0, 0, 3, 0x00, 0x08}) +
          "duration" + number + Bytes({0x00, 0x09}) + "keyframes" +
          Bytes({0x03, 0x00, 0x05}) + "times" + Bytes({0x0A, 0, 0, 0, 2}) + number + number +
          Bytes({0x00, 0x00, 0x09, 0x00, 0x02, 'd', 't', 0x0B}) + number.substr(1) +
          Bytes({0x00, 0x00, 0x00, 0x01, 'l', 0x0C, 0, 0, 0, 4}) + "long" +
          Bytes({0x00, 0x01, 'b', 0x01, 0x01, 0x00, 0x00, 0x09}),
      // a command with an embedded AMF3 object, then null
      Bytes({0x02, 0x00, 0x04}) + "call" + number + amf3 + Bytes({0x05}),
  };
}

std::string Mutate(const std::string& seed, std::mt19937& rng) {
  std::string out = seed;
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < edits && !out.empty(); ++i) {
    const size_t at = rng() % out.size();
    switch (rng() % 5) {
      case 0: out[at] = static_cast<char>(rng()); break;
      case 1: out[at] = static_cast<char>(out[at] ^ (1 << (rng() % 8))); break;
      case 2: out.insert(at, 1, static_cast<char>(rng())); break;
      case 3: out.erase(at, 1); break;
      case 4: out.resize(at); break;
    }
  }
  return out;
}

std::string Be(uint64_t v, int n) {
  std::string out;
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>(v >> (8 * i)));
  return out;
}

// AMF0 bytes for a decoded tree, for round trips; false for values AMF0
// cannot carry (an invalid value: an AMF3 date reference, the end of a
// dynamic member list). Objects whose properties all lack names become
// strict arrays, the others objects.
bool EncodeValue(const AMFObjectProperty& p, std::string* out);
bool EncodeNamed(const AMFObject& obj, std::string* out) {
  for (int i = 0; i < obj.GetPropertyCount(); ++i) {
    const std::string& name = obj.GetProperty(i).GetName();
    // Names are read up to a zero byte, so AMF3 names holding one can't return.
    if (name.size() > 0xFFFF || name.find('\0') != std::string::npos) return false;
    *out += Be(name.size(), 2) + name;
    if (!EncodeValue(obj.GetProperty(i), out)) return false;
  }
  *out += Bytes({0x00, 0x00, 0x09});
  return true;
}
bool EncodeValue(const AMFObjectProperty& p, std::string* out) {
  uint64_t bits = 0;
  const double d = p.GetNumber();
  std::memcpy(&bits, &d, 8);
  switch (p.GetType()) {
    case AMF_NUMBER: *out += Bytes({0x00}) + Be(bits, 8); return true;
    case AMF_BOOLEAN: *out += Bytes({0x01, p.GetBoolean() ? 1 : 0}); return true;
    case AMF_NULL: *out += Bytes({0x05}); return true;
    case AMF_DATE:
      *out += Bytes({0x0B}) + Be(bits, 8) + Be(uint16_t(p.GetUTCOffset()), 2);
      return true;
    case AMF_STRING:
      if (p.GetString().size() <= 0xFFFF && p.GetString().find('\0') == std::string::npos)
        *out += Bytes({0x02}) + Be(p.GetString().size(), 2) + p.GetString();
      else
        *out += Bytes({0x0C}) + Be(p.GetString().size(), 4) + p.GetString();
      return true;
    case AMF_OBJECT: {
      const AMFObject& obj = p.GetObject();
      bool named = false;
      for (int i = 0; i < obj.GetPropertyCount(); ++i) named |= !obj.GetProperty(i).GetName().empty();
      if (named) {
        *out += Bytes({0x03});
        return EncodeNamed(obj, out);
      }
      *out += Bytes({0x0A}) + Be(uint32_t(obj.GetPropertyCount()), 4);
      for (int i = 0; i < obj.GetPropertyCount(); ++i)
        if (!EncodeValue(obj.GetProperty(i), out)) return false;
      return true;
    }
    default: return false;
  }
}

// Same names, types and values (numbers bit for bit), all the way down.
void ExpectSameTree(const AMFObject& a, const AMFObject& b, const std::string& where) {
  ASSERT_EQ(a.GetPropertyCount(), b.GetPropertyCount()) << where;
  for (int i = 0; i < a.GetPropertyCount(); ++i) {
    const AMFObjectProperty& x = a.GetProperty(i);
    const AMFObjectProperty& y = b.GetProperty(i);
    const std::string at = where + "/" + std::to_string(i) + ":" + x.GetName();
    EXPECT_EQ(x.GetName(), y.GetName()) << at;
    EXPECT_EQ(x.GetType(), y.GetType()) << at;
    EXPECT_EQ(x.GetString(), y.GetString()) << at;
    const double dx = x.GetNumber(), dy = y.GetNumber();
    EXPECT_EQ(std::memcmp(&dx, &dy, 8), 0) << at;
    if (x.GetType() == AMF_DATE) {
      EXPECT_EQ(x.GetUTCOffset(), y.GetUTCOffset()) << at;
    }
    ExpectSameTree(x.GetObject(), y.GetObject(), at);
  }
}

// What decoded must encode and decode again to the same tree, using every
// byte of the encoding.
void ExpectRoundTrip(const AMFObject& decoded, bool names) {
  std::string bytes;
  if (names) {
    if (!EncodeNamed(decoded, &bytes)) return;
  } else {
    for (int i = 0; i < decoded.GetPropertyCount(); ++i)
      if (!EncodeValue(decoded.GetProperty(i), &bytes)) return;
    // A plain sequence ends before a last value shorter than 3 bytes.
    if (!bytes.empty() && bytes.size() < 3) return;
  }
  ExactBuffer buf(bytes);
  AMFObject again;
  ASSERT_EQ(again.Decode(buf.data(), buf.size(), names), buf.size());
  ExpectSameTree(decoded, again, names ? "named" : "plain");
}

// Decodes the bytes every way the engine does and checks that a success
// never claims more than it was given and that it holds the values it
// decoded.
void DecodeEveryWay(const std::string& bytes) {
  ExactBuffer buf(bytes);
  const int size = buf.size();
  for (bool names : {false, true}) {
    AMFObject obj;
    const int used = obj.Decode(buf.data(), size, names);
    EXPECT_LE(used, size);
    EXPECT_GE(used, -1);
    obj.Dump();
    if (used >= 0) ExpectRoundTrip(obj, names);
    AMFObjectProperty prop;
    const int one = prop.Decode(buf.data(), size, names);
    EXPECT_LE(one, size);
    AMFObjectProperty prop3;
    EXPECT_LE(prop3.AMF3Decode(buf.data(), size, names), size);
  }
  AMFObject amf3;
  EXPECT_LE(amf3.AMF3Decode(buf.data(), size, true), size);
}

TEST(AMFRobustness, PrefixesAndSeededMutations) {
  CapturedDiag quiet(5);  // formats every line the decoder can write, dump included
  std::mt19937 rng(20261210);
  for (const std::string& seed : Seeds()) {
    AMFObject whole;
    ASSERT_EQ(whole.Decode(seed.data(), static_cast<int>(seed.size()), false),
              static_cast<int>(seed.size()));
    for (size_t n = 0; n <= seed.size(); ++n) DecodeEveryWay(seed.substr(0, n));
    for (int i = 0; i < kMutationsPerSeed; ++i) DecodeEveryWay(Mutate(seed, rng));
  }
}

// Found by the AMF0 fuzz target: 679 bytes of bodies whose failures make
// each enclosing body resynchronise inside what it had already decoded.
// Unbounded, one decode took over half a minute; now it gives up within its
// share of work, which the skipped-byte lines count.
TEST(AMFRobustness, NestedResynchronisationGivesUp) {
  std::ifstream in(TAMBOREL_SOURCE_DIR "/tests/fuzz/corpus/fuzz_amf0/crash-resync-exponential",
                   std::ios::binary);
  ASSERT_TRUE(in);
  ExactBuffer buf(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  // As a command or metadata body: a plain sequence of values.
  CapturedDiag diag(DIAG_ERROR);
  AMFObject obj;
  EXPECT_EQ(obj.Decode(buf.data(), buf.size(), false), -1);
  EXPECT_EQ(diag.Count("giving up"), 1);
  EXPECT_LE(diag.Count("IGNORING BYTES"), kAMFWorkPerByte * buf.size() + 1024);
}

// Damage at the bottom of a deep tree is skipped at every level up to the
// end markers; that stays well inside the limit.
TEST(AMFRobustness, DeepDamageStillResynchronises) {
  constexpr int kDepth = kAMFMaxNesting - 1;
  std::string bytes;
  for (int i = 0; i < kDepth; ++i) bytes += Bytes({0x00, 0x01, 'o', 0x03});
  bytes += Bytes({0x00, 0x01, 'r', 0x07, 0x00, 0x01});  // an unsupported reference
  for (int i = 0; i <= kDepth; ++i) bytes += Bytes({0x00, 0x00, 0x09});
  CapturedDiag diag(DIAG_ERROR);
  AMFObject obj;
  ExactBuffer buf(bytes);
  EXPECT_EQ(obj.Decode(buf.data(), buf.size(), true), buf.size());
  EXPECT_EQ(diag.Count("giving up"), 0);
  const AMFObject* level = &obj;
  for (int i = 0; i < kDepth; ++i) level = &level->GetProperty("o").GetObject();
  EXPECT_EQ(level->GetPropertyCount(), 0);
}

TEST(RtmpUrlRobustness, PrefixesAndSeededMutations) {
  CapturedDiag quiet(DIAG_DEBUG);
  std::mt19937 rng(1935);
  const std::string seeds[] = {"rtmpt://host:8080/app?token=1/stream?x=2",
                               "rtmp://host/ondemand/123/clip.mp4",
                               "rtmp://host/app/x?slist=a.flv&b=1"};
  for (const std::string& seed : seeds) {
    std::vector<std::string> inputs;
    for (size_t n = 0; n <= seed.size(); ++n) inputs.push_back(seed.substr(0, n));
    for (int i = 0; i < kMutationsPerSeed; ++i) inputs.push_back(Mutate(seed, rng));
    for (const std::string& url : inputs) {
      RtmpProtocol protocol;
      std::optional<std::string> host, app, playpath;
      int port = 0;
      const bool ok = ParseRtmpUrl(url, protocol, host, port, playpath, app);
      if (ok && host && protocol <= RTMP_PROTOCOL_RTMPT) {
        EXPECT_FALSE(host->empty()) << url;
        EXPECT_NE(port, 0) << url;
      }
    }
  }
}

}  // namespace
