#include "core/stream_retry_loop.h"

#include <chrono>
#include <thread>

#include "core/stream_worker.h"
#include "platform/file_system.h"
#include "platform/tick_count.h"

namespace {
// Between tries to create a session while memory is short.
constexpr int kSessionRetryPauseMs = 50;
}  // namespace

int RunStreamRetryLoop(StreamRecorder& recorder, bool tunnelled, const StreamTaskTexts& texts,
                       StreamWorker& worker) {
  // The attempts borrow these texts; the copies stay put for the whole loop.
  const StreamTaskTexts copy = texts;
  StreamAttemptRequest request;
  request.tunnelled = tunnelled;
  request.host = copy.host.c_str();
  request.playPath = copy.playPath.c_str();
  request.app = copy.app.c_str();
  request.tempPath = copy.tempPath.c_str();

  worker.SetStartTick(platform::TickCountMs());
  bool first = true;
  for (;;) {
    const int result = recorder.RunAttempt(request, worker, first);
    if (result == ATTEMPT_NO_SESSION) {
      // Nothing was reported yet; an abort must still end the task.
      if (worker.CheckAbort()) return ATTEMPT_ABORTED;
      std::this_thread::sleep_for(std::chrono::milliseconds(kSessionRetryPauseMs));
      continue;
    }
    if (result == ATTEMPT_COMPLETED || result == ATTEMPT_FAILED || result == ATTEMPT_ABORTED)
      return result;
    if (result == ATTEMPT_FILE_UNUSABLE) {
      platform::DeleteFile(copy.tempPath);
      std::this_thread::sleep_for(std::chrono::milliseconds(kStreamRestartPauseMs));
    }
    first = false;
  }
}
