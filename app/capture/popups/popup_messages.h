// Numbers of the frame messages the popups and the history exchange with the
// main window.
#pragma once

#include <cstdint>

namespace popup_msg {
inline constexpr uint32_t UM_CAPTURE_ADD = 2278;
inline constexpr uint32_t UM_OPEN_TASK_FOLDER = 2281;
inline constexpr uint32_t UM_POPUP_CLOSED = 2284;
inline constexpr uint32_t UM_POPUP_THUMBNAIL = 2285;
inline constexpr uint32_t UM_DOWNLOAD_AGAIN = 2287;
inline constexpr uint32_t UM_SHOW_TASK = 2288;
}  // namespace popup_msg
