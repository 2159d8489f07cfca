#include "core/format.h"

#include <cstdio>

namespace {

constexpr uint64_t kKilo = 1024;
constexpr uint64_t kMega = 1024 * 1024;
constexpr uint64_t kGiga = 1024 * 1024 * 1024;

// Two numbers never make more than a few dozen characters.
std::string Print(const char* format, uint64_t a, uint64_t b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, static_cast<unsigned long long>(a), static_cast<unsigned long long>(b));
  return buf;
}

std::string TwoDigits(int64_t part) {
  return (part > 9 ? "" : "0") + std::to_string(part);
}

}  // namespace

std::string FormatSize(uint64_t n) {
  // Integer arithmetic throughout: the hundredths are truncated, never rounded.
  uint64_t g = n / kGiga;
  if (g > 0) return Print("%llu.%02llu GB", g, ((n - g * kGiga) / kMega) * 100 / 1024);
  uint64_t m = n / kMega;
  if (m > 0) {
    if (m >= 1000) return Print("0.%02llu GB", m * 100 / 1024, 0);
    return Print("%llu.%02llu MB", m, ((n - m * kMega) / kKilo) * 100 / 1024);
  }
  uint64_t k = n / kKilo;
  if (k > 0) {
    if (k >= 1000) return Print("0.%02llu MB", k * 100 / 1024, 0);
    return Print("%llu.%02llu KB", k, (n - k * kKilo) * 100 / 1024);
  }
  if (n >= 1000) return Print("0.%02llu KB", n * 100 / 1024, 0);
  return Print("%llu Byte", n, 0);
}

std::string FormatSpeed(uint64_t bytesPerSecond) {
  if (bytesPerSecond == 0) return "0.00 KB/s";
  return FormatSize(bytesPerSecond) + "/s";
}

std::string FormatSeconds(int64_t seconds) {
  // A clock step backwards must not show as "0-1:0-2:0-5".
  if (seconds < 0) seconds = 0;
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds % 3600 / 60) + ":" + TwoDigits(seconds % 60);
}
