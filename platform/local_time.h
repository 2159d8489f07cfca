// Local time as the program shows and stores it: "%Y-%m-%d %H:%M:%S".
#pragma once

#include <ctime>
#include <string>

namespace platform {

std::string LocalTimeText(std::time_t when);
std::string NowText();

}  // namespace platform
