#include "rtmp/amf_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "tests/rtmp/amf_test_bytes.h"
#include "tests/rtmp/captured_diag.h"

namespace {

TEST(AMFBytes, IntegersRoundTripBigEndian) {
  char buf[4];
  const char* end = buf + sizeof buf;
  ASSERT_EQ(AMFEncodeInt16(buf, end, 0xBEEF), 2);
  EXPECT_EQ(std::string(buf, 2), Bytes({0xBE, 0xEF}));
  EXPECT_EQ(AMFReadInt16(buf), 0xBEEF);
  ASSERT_EQ(AMFEncodeInt24(buf, end, 0xABCDEF), 3);
  EXPECT_EQ(std::string(buf, 3), Bytes({0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(AMFReadInt24(buf), 0xABCDEFu);
  ASSERT_EQ(AMFEncodeInt24(buf, end, kAMFObjectEnd), 3);
  EXPECT_EQ(std::string(buf, 3), Bytes({0, 0, 9}));
  ASSERT_EQ(AMFEncodeInt32(buf, end, 0xFEDCBA98), 4);
  EXPECT_EQ(std::string(buf, 4), Bytes({0xFE, 0xDC, 0xBA, 0x98}));
  EXPECT_EQ(AMFReadInt32(buf), 0xFEDCBA98u);
}

TEST(AMFBytes, ValuesEncodeAsAMF0) {
  char buf[64];
  const char* end = buf + sizeof buf;
  ASSERT_EQ(AMFEncodeNumber(buf, end, 1.0), 9);
  EXPECT_EQ(std::string(buf, 9), Bytes({0x00, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
  for (double v : {0.0, -2.5, 3191.0, 1e300, std::numeric_limits<double>::infinity()}) {
    ASSERT_EQ(AMFEncodeNumber(buf, end, v), 9);
    EXPECT_EQ(AMFReadNumber(buf + 1), v);
  }
  ASSERT_EQ(AMFEncodeBoolean(buf, end, true), 2);
  EXPECT_EQ(std::string(buf, 2), Bytes({0x01, 0x01}));
  ASSERT_EQ(AMFEncodeBoolean(buf, end, false), 2);
  EXPECT_EQ(std::string(buf, 2), Bytes({0x01, 0x00}));
  ASSERT_EQ(AMFEncodeString(buf, end, "connect"), 10);
  EXPECT_EQ(std::string(buf, 10), Bytes({0x02, 0x00, 0x07}) + "connect");
  ASSERT_EQ(AMFEncodeNamedString(buf, end, "app", "live"), 12);
  EXPECT_EQ(std::string(buf, 12), Bytes({0x00, 0x03}) + "app" + Bytes({0x02, 0x00, 0x04}) + "live");
  ASSERT_EQ(AMFEncodeNamedNumber(buf, end, "x", 15.0), 12);
  EXPECT_EQ(std::string(buf, 12), Bytes({0x00, 0x01, 'x', 0x00, 0x40, 0x2E, 0, 0, 0, 0, 0, 0}));
  ASSERT_EQ(AMFEncodeNamedBoolean(buf, end, "fpad", false), 8);
  EXPECT_EQ(std::string(buf, 8), Bytes({0x00, 0x04}) + "fpad" + Bytes({0x01, 0x00}));
}

// Every writer refuses a value one byte too big for the space left, and
// writes nothing then.
TEST(AMFBytes, WritersRefuseWhatDoesNotFit) {
  struct WriterCase {
    const char* what;
    int needed;
    std::function<int(char*, const char*)> write;
  };
  const WriterCase cases[] = {
      {"int16", 2, [](char* o, const char* e) { return AMFEncodeInt16(o, e, 1); }},
      {"int24", 3, [](char* o, const char* e) { return AMFEncodeInt24(o, e, 1); }},
      {"int32", 4, [](char* o, const char* e) { return AMFEncodeInt32(o, e, 1); }},
      {"number", 9, [](char* o, const char* e) { return AMFEncodeNumber(o, e, 1); }},
      {"boolean", 2, [](char* o, const char* e) { return AMFEncodeBoolean(o, e, true); }},
      {"string", 6, [](char* o, const char* e) { return AMFEncodeString(o, e, "abc"); }},
      {"named number", 13,
       [](char* o, const char* e) { return AMFEncodeNamedNumber(o, e, "ab", 1); }},
      {"named boolean", 6,
       [](char* o, const char* e) { return AMFEncodeNamedBoolean(o, e, "ab", true); }},
      {"named string", 10,
       [](char* o, const char* e) { return AMFEncodeNamedString(o, e, "ab", "abc"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string buf(c.needed, '\x55');
    EXPECT_EQ(c.write(buf.data(), buf.data() + c.needed), c.needed);
    std::string small(c.needed - 1, '\x55');
    EXPECT_EQ(c.write(small.data(), small.data() + small.size()), 0);
    EXPECT_EQ(small, std::string(c.needed - 1, '\x55'));
  }
}

TEST(AMFBytes, StringsOverAMF0LimitAreRefused) {
  const std::string big(65536, 'a');
  std::string buf(70000, '\0');
  const char* end = buf.data() + buf.size();
  EXPECT_EQ(AMFEncodeString(buf.data(), end, big), 0);
  EXPECT_EQ(AMFEncodeNamedString(buf.data(), end, "n", big), 0);
  EXPECT_EQ(AMFEncodeNamedNumber(buf.data(), end, big, 1), 0);
  EXPECT_EQ(AMFEncodeString(buf.data(), end, big.substr(1)), 65538);
  EXPECT_EQ(AMFReadInt16(buf.data() + 1), 65535);
}

TEST(AMFBytes, ReadStringLengthsAndZeroBytes) {
  std::string text;
  EXPECT_EQ(AMFReadString(Bytes({0, 5, 'a', 'b', 0, 'c', 'd'}).data(), 7, &text), 7);
  EXPECT_EQ(text, "ab");
  EXPECT_EQ(AMFReadString(Bytes({0, 0}).data(), 2, &text), 2);
  EXPECT_EQ(text, "");
  EXPECT_EQ(AMFReadBool(Bytes({0x02}).data()), false);

  // Lengths of 0x8000 and more are unsigned.
  std::string big = Bytes({0x80, 0x01}) + std::string(0x8001, 'x');
  ExactBuffer exact(big);
  EXPECT_EQ(AMFReadString(exact.data(), exact.size(), &text), 0x8003);
  EXPECT_EQ(text.size(), 0x8001u);

  ExactBuffer shortBody(Bytes({0, 4, 'a', 'b', 'c'}));
  EXPECT_EQ(AMFReadString(shortBody.data(), shortBody.size(), &text), 0);
  ExactBuffer oneByte(Bytes({0}));
  EXPECT_EQ(AMFReadString(oneByte.data(), oneByte.size(), &text), 0);
}

TEST(AMF3ReadInteger, VariableLengthTable) {
  struct IntCase {
    std::string bytes;
    int used;
    int32_t value;
  };
  const IntCase cases[] = {
      {Bytes({0x00}), 1, 0},
      {Bytes({0x7F}), 1, 127},
      {Bytes({0x81, 0x00}), 2, 128},
      {Bytes({0xFF, 0x7F}), 2, 0x3FFF},
      {Bytes({0xFF, 0xFF, 0x7F}), 3, 0x1FFFFF},
      {Bytes({0x80, 0x80, 0x80, 0x80}), 4, 128},
      {Bytes({0xBF, 0xFF, 0xFF, 0xFF}), 4, 0x0FFFFFFF},
      {Bytes({0xC0, 0x80, 0x80, 0x00}), 4, -0x10000000},
      {Bytes({0xFF, 0xFF, 0xFF, 0xFF}), 4, -1},
      {Bytes({0x05, 0xFF}), 1, 5},  // trailing bytes are not read
      // Running past the data fails.
      {Bytes({}), 0, 0},
      {Bytes({0x81}), 0, 0},
      {Bytes({0xFF, 0xFF}), 0, 0},
      {Bytes({0xFF, 0xFF, 0xFF}), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ExactBuffer buf(c.bytes);
    int32_t value = 0;
    EXPECT_EQ(AMF3ReadInteger(buf.data(), buf.size(), &value), c.used);
    if (c.used) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(AMF3ReadString, InlineReferencesAndTruncation) {
  CapturedDiag diag(DIAG_DEBUG);
  std::string text = "old";
  ExactBuffer inlined(Bytes({0x07, 'a', 'b', 'c'}));
  EXPECT_EQ(AMF3ReadString(inlined.data(), inlined.size(), &text, "X"), 4);
  EXPECT_EQ(text, "abc");

  ExactBuffer reference(Bytes({0x04}));
  EXPECT_EQ(AMF3ReadString(reference.data(), reference.size(), &text, "AMFObject::AMF3Decode"), 1);
  EXPECT_EQ(text, "");
  EXPECT_EQ(diag.Text(),
            "\rDEBUG: AMFObject::AMF3Decode, string reference, index: 2, not supported, "
            "ignoring!\n");

  ExactBuffer cut(Bytes({0x07, 'a', 'b'}));
  EXPECT_EQ(AMF3ReadString(cut.data(), cut.size(), &text, "X"), 0);
  // The largest header announces 256 MiB: refused before anything is allocated.
  ExactBuffer huge(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 'a'}));
  EXPECT_EQ(AMF3ReadString(huge.data(), huge.size(), &text, "X"), 0);
  ExactBuffer empty(Bytes({0x01}));
  EXPECT_EQ(AMF3ReadString(empty.data(), empty.size(), &text, "X"), 1);
  EXPECT_EQ(text, "");
}

}  // namespace
