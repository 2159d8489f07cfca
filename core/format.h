// Display texts for byte counts, speeds and durations.
#pragma once

#include <cstdint>
#include <string>

// "999 Byte", "0.97 KB", "1.50 KB", "999.99 MB", "0.97 GB", "3.00 GB".
std::string FormatSize(uint64_t n);
// "0.00 KB/s" for 0, otherwise FormatSize followed by "/s".
std::string FormatSpeed(uint64_t bytesPerSecond);
// "HH:MM:SS"; hours may take more than two digits.
std::string FormatSeconds(int64_t seconds);
