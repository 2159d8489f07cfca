// The memory an AMF decode holds stays proportional to its input: a body of
// millions of one-byte values must fail within a bounded share instead of
// becoming millions of properties.
#include <malloc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "rtmp/amf.h"
#include "tests/rtmp/amf_test_bytes.h"
#include "tests/rtmp/captured_diag.h"

// Heap bytes held by this program, and the most held since the last reset.
namespace {
std::atomic<int64_t> g_held{0};
std::atomic<int64_t> g_peak{0};

void* Counted(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) return nullptr;
  const int64_t now = g_held += static_cast<int64_t>(malloc_usable_size(p));
  for (int64_t peak = g_peak; now > peak && !g_peak.compare_exchange_weak(peak, now);) {
  }
  return p;
}
void Uncounted(void* p) {
  if (!p) return;
  g_held -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}
}  // namespace

void* operator new(size_t size) {
  if (void* p = Counted(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, size_t) noexcept { Uncounted(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Uncounted(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Uncounted(p); }

namespace {

// Peak heap bytes that `decode` holds beyond what was held before it.
template <class F>
int64_t PeakOf(F decode) {
  const int64_t before = g_held;
  g_peak = before;
  decode();
  return g_peak - before;
}

TEST(AMFMemory, MillionsOfOneByteValuesFailWithinTheShare) {
  constexpr int kSize = 16 << 20;
  struct Case {
    const char* name;
    std::string body;
    bool names;
  };
  // Null values; an object of one-letter names with null values; a strict
  // array that claims them all; AMF3 sealed members, each a null.
  std::string object = Bytes({0x03});
  while (object.size() < size_t(kSize) - 3) object += Bytes({0x00, 0x01, 'a', 0x05});
  object += Bytes({0x00, 0x00, 0x09});
  std::string array = Bytes({0x0A, 0x7F, 0xFF, 0xFF, 0xFF}) + std::string(kSize - 5, '\x05');
  // 0x11 0x0A, then traits: inline, sealed count 2^21 - 1.
  std::string amf3 = Bytes({0x11, 0x0A, 0xFF, 0xFF, 0xFF, 0xF3, 0x01});
  for (int i = 0; i < (1 << 21) - 1; ++i) amf3 += Bytes({0x03, 'm'});
  amf3 += std::string(kSize - amf3.size(), '\x01');
  const Case cases[] = {
      {"null values", std::string(kSize, '\x05'), false},
      {"object of null values", object, false},
      {"strict array of null values", array, false},
      {"AMF3 object of null members", amf3, false},
  };
  CapturedDiag diag(DIAG_ERROR);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExactBuffer buf(c.body);
    int used = 0;
    const int64_t peak = PeakOf([&] {
      AMFObject obj;
      used = obj.Decode(buf.data(), buf.size(), c.names);
    });
    std::printf("%s: %d bytes, peak %.1f MiB\n", c.name, buf.size(), double(peak) / (1 << 20));
    EXPECT_EQ(used, -1);
    EXPECT_LE(peak, kAMFMemoryPerByte * kSize + kAMFMemoryAllowance);
  }
  EXPECT_GE(diag.Count("needs too much memory"), 1);
}

// Sound metadata, with the long keyframe lists of a very long recording,
// decodes within the share.
TEST(AMFMemory, LongKeyframeListsDecode) {
  constexpr int kKeyframes = 50000;  // about 28 hours at one every 2 s
  auto numbers = [](int n) {
    std::string out = Bytes({0x0A}) + std::string(1, char(n >> 24)) + char(n >> 16) + char(n >> 8) +
                      char(n);
    for (int i = 0; i < n; ++i) out += Bytes({0x00, 0x40, 0x59, 0, 0, 0, 0, 0, 0});
    return out;
  };
  const std::string body = Bytes({0x02, 0x00, 0x0A}) + "onMetaData" + Bytes({0x08, 0, 0, 0, 1}) +
                           Bytes({0x00, 0x09}) + "keyframes" + Bytes({0x03, 0x00, 0x05}) +
                           "times" + numbers(kKeyframes) + Bytes({0x00, 0x0D}) +
                           "filepositions" + numbers(kKeyframes) +
                           Bytes({0x00, 0x00, 0x09, 0x00, 0x00, 0x09});
  ExactBuffer buf(body);
  AMFObject obj;
  ASSERT_EQ(obj.Decode(buf.data(), buf.size(), false), buf.size());
  const AMFObject& keyframes = obj.GetProperty(1).GetObject().GetProperty("keyframes").GetObject();
  EXPECT_EQ(keyframes.GetProperty("times").GetObject().GetPropertyCount(), kKeyframes);
  EXPECT_EQ(keyframes.GetProperty("filepositions").GetObject().GetProperty(kKeyframes - 1).GetNumber(),
            100.0);
}

}  // namespace
