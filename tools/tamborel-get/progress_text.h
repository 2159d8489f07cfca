// The progress line of tamborel-get.
#pragma once

#include <cstdint>
#include <string>

struct ProgressState {
  int64_t total = 0;       // 0 while unknown
  int64_t downloaded = 0;
  int64_t speed = 0;       // bytes per second
};

// "[#####     ]  45.20%  1.50 MB / 3.00 MB  120.00 KB/s  00:00:12 left"
// with a bar `width` characters wide; without the bar when width is 0.
std::string ProgressText(const ProgressState& p, int width);
