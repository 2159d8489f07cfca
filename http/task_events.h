// The message a download worker posts to the task list view, and its codes
// (wParam = code, lParam = TaskIndex).
#pragma once

#include <cstdint>

// The codes are shared with the stream recorders of the RTMP engine.
#include "core/task_event_codes.h"

// The name of a code ("TE_COMPLETED"), or "" for an unknown one; for logs and tests.
const char* TaskEventName(int32_t code);
