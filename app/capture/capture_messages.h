// Window messages of the capture subsystem (numbers shared with the
// capture side in other processes and with the main frame).
#pragma once

#include <cstdint>

namespace capture {

inline constexpr uint32_t kUmCaptured = 4024;          // from the capture side: block number
inline constexpr uint32_t kUmCaptureAdd = 2278;        // asking window or 0, capture identifier
inline constexpr uint32_t kUmMediaSize = 2296;         // task identifier, width * 65536 + height
inline constexpr uint32_t kUmMediaDuration = 2297;     // task identifier, seconds
inline constexpr uint32_t kUmOptionsClosed = 2298;
inline constexpr uint32_t kUmHistoryDownload = 2300;   // capture identifier

}  // namespace capture
