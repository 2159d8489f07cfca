#include "core/format.h"

#include <cstdio>

namespace {

constexpr uint32_t kKilo = 1024;
constexpr uint32_t kMega = 1024 * 1024;
constexpr uint32_t kGiga = 1024 * 1024 * 1024;

// Two numbers never make more than a few dozen characters.
std::string Print(const char* format, uint32_t a, uint32_t b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

std::string TwoDigits(int64_t part) {
  return (part > 9 ? "" : "0") + std::to_string(part);
}

}  // namespace

std::string FormatSize(uint32_t n) {
  // Integer arithmetic throughout: the hundredths are truncated, never rounded.
  uint32_t g = n / kGiga;
  if (g > 0) return Print("%u.%02u GB", g, ((n - g * kGiga) / kMega) * 100 / 1024);
  uint32_t m = n / kMega;
  if (m > 0) {
    if (m >= 1000) return Print("0.%02u GB", m * 100 / 1024, 0);
    return Print("%u.%02u MB", m, ((n - m * kMega) / kKilo) * 100 / 1024);
  }
  uint32_t k = n / kKilo;
  if (k > 0) {
    if (k >= 1000) return Print("0.%02u MB", k * 100 / 1024, 0);
    return Print("%u.%02u KB", k, (n - k * kKilo) * 100 / 1024);
  }
  if (n >= 1000) return Print("0.%02u KB", n * 100 / 1024, 0);
  return Print("%u Byte", n, 0);
}

std::string FormatSpeed(uint32_t bytesPerSecond) {
  if (bytesPerSecond == 0) return "0.00 KB/s";
  return FormatSize(bytesPerSecond) + "/s";
}

std::string FormatSeconds(int64_t seconds) {
  // A clock step backwards must not show as "0-1:0-2:0-5".
  if (seconds < 0) seconds = 0;
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds % 3600 / 60) + ":" + TwoDigits(seconds % 60);
}
