// The worker's retry loop around stream recording attempts: which results
// stop it, which continue, and the fresh start after an unusable file.
#include "core/stream_retry_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/fake_stream_worker.h"
#include "tests/support/sandbox.h"

namespace {

class ScriptedRecorder : public StreamRecorder {
 public:
  int RunAttempt(const StreamAttemptRequest& request, StreamWorker&, bool first) override {
    firsts.push_back(first);
    starts.push_back(std::chrono::steady_clock::now());
    fileThere.push_back(platform::FileExists(request.tempPath));
    hosts.push_back(request.host);
    const int r = results.front();
    results.pop_front();
    return r;
  }
  std::deque<int> results;
  std::vector<bool> firsts, fileThere;
  std::vector<std::chrono::steady_clock::time_point> starts;
  std::vector<std::string> hosts;
};

TEST(StreamRetryLoop, RunsUntilAnAttemptEndsTheTask) {
  struct Case {
    const char* name;
    std::deque<int> results;
    std::vector<bool> fileThere;  // before each attempt
  };
  const Case cases[] = {
      {"completed", {0}, {true}},
      {"failed", {1}, {true}},
      {"aborted", {9}, {true}},
      {"broken twice, then completed", {8, 8, 0}, {true, true, true}},
      {"unusable file deleted, then completed", {7, 0}, {true, false}},
      {"no session object yet", {ATTEMPT_NO_SESSION, 8, 1}, {true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::Sandbox sandbox;
    sandbox.WriteFile("clip.flv", "FLV");
    testsupport::FakeStreamWorker worker;
    ScriptedRecorder recorder;
    recorder.results = c.results;
    StreamTaskTexts texts{"host:19350", "clip", "vod", sandbox.path("clip.flv")};
    EXPECT_EQ(RunStreamRetryLoop(recorder, false, texts, worker), c.results.back());
    EXPECT_TRUE(recorder.results.empty());
    EXPECT_EQ(recorder.fileThere, c.fileThere);
    EXPECT_NE(worker.startTick, 0u);
    // Only the first real attempt is the first; a missing session does not count.
    std::vector<bool> firsts(c.results.size(), false);
    for (size_t i = 0; i < c.results.size(); ++i) {
      firsts[i] = true;
      if (c.results[i] != ATTEMPT_NO_SESSION) break;
    }
    EXPECT_EQ(recorder.firsts, firsts);
    EXPECT_EQ(recorder.hosts.back(), "host:19350");
  }
}

// After an unusable file is deleted the next attempt waits its pause, so a
// server that keeps answering the same way is not asked many times a second.
TEST(StreamRetryLoop, PausesBeforeStartingOverAfterAnUnusableFile) {
  testsupport::Sandbox sandbox;
  testsupport::FakeStreamWorker worker;
  ScriptedRecorder recorder;
  recorder.results = {7, 7, 1};
  StreamTaskTexts texts{"host", "clip", "vod", sandbox.path("clip.flv")};
  EXPECT_EQ(RunStreamRetryLoop(recorder, false, texts, worker), 1);
  ASSERT_EQ(recorder.starts.size(), 3u);
  for (size_t i = 1; i < recorder.starts.size(); ++i)
    EXPECT_GE(recorder.starts[i] - recorder.starts[i - 1],
              std::chrono::milliseconds(kStreamRestartPauseMs));
}

}  // namespace
