#include "platform/local_time.h"

namespace platform {

std::string LocalTimeText(std::time_t when) {
  std::tm tm{};
  if (!localtime_r(&when, &tm)) return {};
  char buf[32];
  size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return std::string(buf, n);
}

std::string NowText() { return LocalTimeText(std::time(nullptr)); }

}  // namespace platform
