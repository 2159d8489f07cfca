// The retry loop a download worker runs around the recording attempts of a
// stream task.
#pragma once

#include <string>

#include "core/stream_attempt.h"

struct StreamTaskTexts {
  std::string host, playPath, app, tempPath;
};

// Runs attempts until one completes, fails or sees an abort. A file that
// cannot be continued is deleted and, after kRestartPauseMs, recorded anew;
// a broken stream is continued at once. Returns the last attempt's result.
int RunStreamRetryLoop(StreamRecorder& recorder, bool tunnelled, const StreamTaskTexts& texts,
                       StreamWorker& worker);

inline constexpr int kStreamRestartPauseMs = 500;
