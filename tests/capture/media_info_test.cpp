#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/capture_messages.h"
#include "app/capture/media_info_worker.h"
#include "core/data_model.h"
#include "platform/window_services.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

struct Posted {
  uint32_t msg;
  platform::MessageParam w, l;
  bool operator==(const Posted&) const = default;
};

class WaitingServices : public platform::WindowServices {
 public:
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, platform::MessageParam w, platform::MessageParam l) override {
    std::lock_guard<std::mutex> g(lock_);
    posted_.push_back({msg, w, l});
    changed_.notify_all();
  }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}
  // Everything posted for the task once its marker task has been answered.
  std::vector<Posted> WaitFor(std::function<bool(const std::vector<Posted>&)> done) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, std::chrono::seconds(20), [&] { return done(posted_); });
    return posted_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Posted> posted_;
};

std::vector<Posted> For(const std::vector<Posted>& all, int32_t task) {
  std::vector<Posted> out;
  for (const Posted& p : all)
    if (p.w == task) out.push_back(p);
  return out;
}

TEST(MediaInfo, ReadingsBecomeDurationAndSizeMessages) {
  testsupport::Sandbox sandbox;
  testsupport::ScopedEnv log("FAKE_OMBREL_LOG", sandbox.path("asked").c_str());
  const struct {
    int32_t task;
    std::string answer;  // width height duration1 duration2 result
    std::vector<Posted> expected;
  } cases[] = {
      {1, "320 240 61500 0 1", {{capture::kUmMediaDuration, 1, 61}, {capture::kUmMediaSize, 1, 320 * 65536 + 240}}},
      {2, "0 240 999 3000 1", {{capture::kUmMediaDuration, 2, 3}}},
      {3, "640 0 0 0 1", {{capture::kUmMediaDuration, 3, 0}}},
      {4, "320 240 -5000 -2000 1", {{capture::kUmMediaSize, 4, 320 * 65536 + 240}}},
      {5, "320 240 1000 1000 0", {}},
      {6, "70000 10 1000 0 1", {{capture::kUmMediaDuration, 6, 1}}},
  };
  WaitingServices frame;
  capture::MediaInfoWorker worker;
  worker.Start(FAKE_OMBREL, &frame, 5);
  for (const auto& c : cases) {
    const std::string name = "task" + std::to_string(c.task);
    sandbox.WriteFile(name, c.answer);
    worker.Enqueue(c.task, sandbox.path(name));
  }
  // A path the request cannot hold whole never reaches the library.
  worker.Enqueue(7, "/" + std::string(259, 'p'));
  sandbox.WriteFile("last", "1 1 1000 0 1");
  worker.Enqueue(8, sandbox.path("last"));

  const std::vector<Posted> all = frame.WaitFor([](const std::vector<Posted>& p) { return !For(p, 8).empty(); });
  for (const auto& c : cases) EXPECT_EQ(For(all, c.task), c.expected) << c.answer;
  EXPECT_TRUE(For(all, 7).empty());
  worker.Stop();
  std::string asked = sandbox.ReadFile("asked");
  EXPECT_EQ(asked.find(std::string(200, 'p')), std::string::npos);
  EXPECT_FALSE(worker.EndedEarly());
}

TEST(MediaInfo, ResultsOnTheModel) {
  DataModel model;
  model.tasks.resize(1);
  model.tasks[0].TaskIndex = 4;
  const std::pair<int32_t, std::string> durations[] = {{61, "00:01:01"}, {0, "00:00:00"}, {3600 * 27 + 62, "27:01:02"}};
  for (const auto& [seconds, text] : durations) {
    EXPECT_TRUE(capture::ApplyMediaDuration(model, 4, seconds));
    EXPECT_EQ(model.tasks[0].Duration, text);
  }
  EXPECT_TRUE(capture::ApplyMediaSize(model, 4, static_cast<int32_t>(0xFFFF0010u)));
  EXPECT_EQ(model.tasks[0].Width, 65535);
  EXPECT_EQ(model.tasks[0].Height, 16);
  EXPECT_FALSE(capture::ApplyMediaDuration(model, 5, 1));
  EXPECT_FALSE(capture::ApplyMediaSize(model, 5, 1));
}

TEST(MediaInfo, MissingLibraryEndsTheWorkerQuietly) {
  WaitingServices frame;
  capture::MediaInfoWorker worker;
  worker.Start("/nonexistent/Ombrel.dll", &frame, 5);
  worker.Enqueue(1, "/tmp/x");
  for (int i = 0; i < 200 && !worker.EndedEarly(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(worker.EndedEarly());
  worker.Stop();
  // A library without the entry point does the same.
  capture::MediaInfoWorker other;
  other.Start(VARNOTH, &frame, 5);
  for (int i = 0; i < 200 && !other.EndedEarly(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(other.EndedEarly());
}

TEST(MediaInfo, RealFilesThroughTheLibrary) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
  testsupport::Sandbox sandbox;
  ASSERT_TRUE(testsupport::MakeMediaFlv(sandbox.path("a.flv"), 3, "flv1", "mp3"));
  ASSERT_EQ(testsupport::RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc=size=352x288:rate=25", "-t", "2", "-c:v", "mpeg4",
                                     sandbox.path("b.mp4")}),
            0);
  WaitingServices frame;
  capture::MediaInfoWorker worker;
  worker.Start(OMBREL, &frame, 5);
  worker.Enqueue(1, sandbox.path("a.flv"));
  worker.Enqueue(2, sandbox.path("b.mp4"));
  worker.Enqueue(3, sandbox.path("missing.flv"));
  worker.Enqueue(4, sandbox.path("a.flv"));
  const std::vector<Posted> all = frame.WaitFor([](const std::vector<Posted>& p) { return For(p, 4).size() == 2; });
  EXPECT_EQ(For(all, 1), (std::vector<Posted>{{capture::kUmMediaDuration, 1, 3},
                                              {capture::kUmMediaSize, 1, 160 * 65536 + 120}}));
  EXPECT_EQ(For(all, 2), (std::vector<Posted>{{capture::kUmMediaDuration, 2, 2},
                                              {capture::kUmMediaSize, 2, 352 * 65536 + 288}}));
  EXPECT_TRUE(For(all, 3).empty());
}

TEST(MediaInfo, StopEndsAWaitingWorkerAtOnce) {
  WaitingServices frame;
  capture::MediaInfoWorker worker;
  worker.Start(FAKE_OMBREL, &frame, 60000);
  worker.Enqueue(1, "/tmp/never");
  const auto start = std::chrono::steady_clock::now();
  worker.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
