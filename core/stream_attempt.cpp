#include "core/stream_attempt.h"

#include <atomic>

namespace {
std::atomic<StreamRecorder*> g_recorder{nullptr};
}

void SetStreamRecorder(StreamRecorder* recorder) { g_recorder = recorder; }
StreamRecorder* GetStreamRecorder() { return g_recorder; }
