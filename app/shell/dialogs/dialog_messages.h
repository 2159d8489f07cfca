// The main frame's private messages that the dialogs post to it.
#pragma once

#include <cstdint>

inline constexpr uint32_t UM_DOWNLOAD_AGAIN = 2287;  // (none, task index)
inline constexpr uint32_t UM_SHOW_TASK = 2288;       // (none, task index)
inline constexpr uint32_t UM_OPTIONS_CLOSED = 2298;  // (none, none)
