// The one process-wide lock around every worker's pending log and stream
// progress texts. Nothing else is locked while it is held.
#pragma once

#include <mutex>

extern std::mutex LogLock;
