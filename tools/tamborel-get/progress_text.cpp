#include "progress_text.h"

#include <cstdio>

#include "core/format.h"

std::string ProgressText(const ProgressState& p, int width) {
  std::string out;
  double fraction = p.total > 0 ? static_cast<double>(p.downloaded) / p.total : 0.0;
  if (fraction > 1.0) fraction = 1.0;
  if (width > 0) {
    int filled = static_cast<int>(fraction * width);
    out = "[" + std::string(static_cast<size_t>(filled), '#') +
          std::string(static_cast<size_t>(width - filled), ' ') + "] ";
  }
  char percent[16];
  std::snprintf(percent, sizeof percent, "%6.2f%%", fraction * 100.0);
  out += percent;
  auto count = [](int64_t n) { return static_cast<uint64_t>(n > 0 ? n : 0); };
  out += "  " + FormatSize(count(p.downloaded));
  out += " / " + (p.total > 0 ? FormatSize(count(p.total)) : std::string("?"));
  out += "  " + FormatSpeed(count(p.speed));
  if (p.total > 0 && p.speed > 0)
    out += "  " + FormatSeconds((p.total - p.downloaded) / p.speed) + " left";
  else
    out += "  ??:??:?? left";
  return out;
}
