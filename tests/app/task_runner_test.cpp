#include "app/download/task_runner.h"

#include <gtest/gtest.h>

#include "app/download/completion_name.h"
#include <random>

#include "platform/file_system.h"
#include "tests/app/runner_fixture.h"
#include "tests/support/child_process.h"

namespace runnertest {
namespace {

TEST_F(RunnerTest, FailingTaskRetriesUntilTheLimitThenFails) {
  int32_t t = AddTask("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/clip.flv", "clip.flv");
  runner->StartTask(t, 1);

  std::vector<int64_t> restarts;
  for (int retry = 0; retry < settings.RetryTimes; ++retry) {
    ASSERT_TRUE(SettlesIn(t, Retrying)) << "attempt " << retry;
    ASSERT_TRUE(clock.TimerRunning(t + TaskRunner::kRetryTimerBase));
    ASSERT_TRUE(clock.AdvanceToNextTimer());  // the retry timer starts the next attempt
    restarts.push_back(clock.NowMs());
    ASSERT_EQ(Task(t).RetryCount, retry + 1);
  }
  ASSERT_TRUE(SettlesIn(t, Failed));

  ASSERT_EQ(restarts.size(), 100u);
  for (size_t i = 0; i < restarts.size(); ++i)
    EXPECT_EQ(restarts[i], static_cast<int64_t>(i + 1) * 10100) << "retry " << i;
  EXPECT_EQ(Task(t).StatusText, "Failed");
  EXPECT_EQ(clock.TimerCount(), 0u);
  ASSERT_FALSE(Task(t).Log.empty());
  EXPECT_EQ(Task(t).Log.back().text, "Failed to download the file.");
  EXPECT_EQ(Task(t).Log.back().icon, 3);
  int waits = 0;
  for (const LogEntry& e : Task(t).Log) waits += e.text == "Wait 10 seconds before retry.";
  EXPECT_EQ(waits, 100);
  EXPECT_EQ(runner->WorkerCount(), 0u);
}

TEST_F(RunnerTest, StoppingARetryingTaskKillsItsTimer) {
  int32_t t = AddTask("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/a", "a");
  runner->StartTask(t, 1);
  ASSERT_TRUE(SettlesIn(t, Retrying));
  list.selected = {t};
  runner->Stop();
  EXPECT_FALSE(clock.TimerRunning(t + TaskRunner::kRetryTimerBase));
  EXPECT_EQ(Task(t).DownStatus, Paused);
  EXPECT_EQ(Task(t).RetryCount, 0);
  EXPECT_EQ(Task(t).Log.back().text, "User canceled the downloading.");
  EXPECT_EQ(Task(t).Log.back().icon, 3);
  clock.Advance(60000);
  EXPECT_EQ(runner->WorkerCount(), 0u);
  EXPECT_EQ(Task(t).DownStatus, Paused);
}

TEST_F(RunnerTest, WatchdogTimesOutASilentServerBetweenTwoAndThreePeriods) {
  LocalServer silent(LocalServer::kSilent);
  const int period = settings.RetryDelay * 1000;
  // The frame's watchdog timer runs independently of when a task starts.
  struct Tick : platform::MessageHandler {
    TaskRunner* runner;
    platform::MessageHandler* inner;
    void OnMessage(uint32_t m, platform::MessageParam w, platform::MessageParam l) override {
      inner->OnMessage(m, w, l);
    }
    void OnTimer(int id) override {
      if (id == 4) runner->WatchdogTick();
      else inner->OnTimer(id);
    }
  } tick;
  tick.runner = runner.get();
  tick.inner = runner.get();
  clock.SetHandler(&tick);
  clock.SetTimer(4, period);

  for (int64_t phase : {0, 3000, 9999}) {
    int32_t t = AddTask(silent.Url("/clip.flv"), "clip" + std::to_string(phase) + ".flv");
    // Start `phase` ms after a watchdog tick.
    clock.Advance((period - clock.NowMs() % period) % period + phase);
    int64_t started = clock.NowMs();
    ASSERT_EQ(started % period, phase);
    runner->StartTask(t, 1);
    ASSERT_TRUE(clock.DeliverUntil([&] { return Task(t).DownStatus == Downloading; }));
    ASSERT_NE(runner->FindWorker(t), nullptr);
    int64_t firedAt = -1;
    for (int step = 0; step < 40 && firedAt < 0; ++step) {
      clock.Advance(1000);
      // A worker that already failed on the time-out within this step has
      // been released by the runner.
      SocketDownLoad* worker = runner->FindWorker(t);
      if (worker == nullptr || worker->timeoutFlag.load()) firedAt = clock.NowMs();
    }
    ASSERT_GE(firedAt, 0);
    EXPECT_GE(firedAt - started, 2 * period) << "phase " << phase;
    EXPECT_LE(firedAt - started, 3 * period) << "phase " << phase;
    ASSERT_TRUE(SettlesIn(t, Retrying));
    EXPECT_TRUE(LogHas(Task(t), "Connection timeout."));
    list.selected = {t};
    runner->Stop();
  }
  clock.SetHandler(runner.get());
}

TEST_F(RunnerTest, CompletionMovesTheFileAndAnnouncesIt) {
  LocalServer server(LocalServer::kServeBody, std::string(5000, 'v'));
  testsupport::WriteWholeFile(box.path("clip.flv"), "older");
  int32_t t = AddTask(server.Url("/clip.flv"), "clip.flv");
  runner->StartTask(t, 1);
  ASSERT_TRUE(SettlesIn(t, Completed));
  EXPECT_EQ(Task(t).FileName, "clip[0].flv");
  EXPECT_EQ(testsupport::ReadWholeFile(box.path("clip[0].flv")), std::string(5000, 'v'));
  EXPECT_EQ(testsupport::ReadWholeFile(box.path("clip.flv")), "older");
  EXPECT_FALSE(platform::FileExists(DataModel::TempPath(Task(t))));
  EXPECT_EQ(Task(t).FileBytes, 5000);
  EXPECT_EQ(Task(t).DownBytes, 5000);
  EXPECT_EQ(Task(t).Progress, "100");
  EXPECT_EQ(Task(t).StatusText, "Completed");
  EXPECT_FALSE(Task(t).FinishTime.empty());
  EXPECT_TRUE(LogHas(Task(t), "Download Completed."));
  EXPECT_EQ(notice.completed, std::vector<int32_t>{t});
  EXPECT_EQ(sound.played, std::vector<std::string>{settings.FinishSound});
}

TEST_F(RunnerTest, FailedFinalRenameNamesTheFileThatIsThere) {
  LocalServer server(LocalServer::kServeBody, "data");
  // A final name longer than the file system allows cannot be renamed to.
  int32_t t = AddTask(server.Url("/x"), std::string(300, 'n') + ".flv");
  Task(t).TempFile = "short.tmp";
  runner->StartTask(t, 1);
  ASSERT_TRUE(SettlesIn(t, Completed));
  EXPECT_EQ(Task(t).FileName, "short.tmp");
  EXPECT_EQ(testsupport::ReadWholeFile(DataModel::FinalPath(Task(t))), "data");
  EXPECT_EQ(Task(t).Log.back().icon, 3);
}

TEST_F(RunnerTest, ServerThatResetsThreeTimesCompletesThroughRetries) {
  std::mt19937 gen(5);
  std::string source(300000, '\0');
  for (char& c : source) c = static_cast<char>(gen());
  box.WriteFile("source.bin", source);
  const int port = StartFaultServer("source.bin");
  ASSERT_NE(port, 0);

  settings.RetryDelay = 1;  // not stored; shortens the wait between attempts
  int32_t t = AddTask("http://127.0.0.1:" + std::to_string(port) + "/reset-thrice/clip.bin", "clip.bin");
  runner->StartTask(t, 1);
  EXPECT_EQ(RetriesUntilCompleted(t), 3);
  EXPECT_TRUE(box.ReadFile("clip.bin") == source) << "the file differs from the source";
  // Every retry carried on from what was on disk.
  EXPECT_EQ(RangeStarts().size(), 3u);
}

TEST_F(RunnerTest, StopDuringTheBodyPausesAndKeepsTheTemporaryFile) {
  LocalServer server(LocalServer::kTrickleBody, std::string(4 << 20, 'x'));
  int32_t t = AddTask(server.Url("/big"), "big");
  runner->StartTask(t, 1);
  ASSERT_TRUE(ReceivesMoreThan(t, 10000));
  list.selected = {t};
  runner->Stop();
  EXPECT_EQ(Task(t).DownStatus, Stopping);
  ASSERT_TRUE(SettlesIn(t, Paused));
  EXPECT_EQ(Task(t).StatusText, "Paused");
  EXPECT_TRUE(LogHas(Task(t), "User canceled the downloading."));
  EXPECT_GT(platform::FileSize(DataModel::TempPath(Task(t))), 10000);
}

TEST_F(RunnerTest, ShutDownEndsRunningWorkersAndKeepsTheirFiles) {
  LocalServer server(LocalServer::kTrickleBody, std::string(4 << 20, 'x'));
  int32_t a = AddTask(server.Url("/a"), "a");
  int32_t b = AddTask(server.Url("/b"), "b");
  runner->StartTask(a, 1);
  runner->StartTask(b, 1);
  ASSERT_TRUE(clock.DeliverUntil([&] {
    SocketDownLoad* wa = runner->FindWorker(a);
    SocketDownLoad* wb = runner->FindWorker(b);
    return wa && wb && wa->downloaded.load() > 0 && wb->downloaded.load() > 0;
  }));
  EXPECT_EQ(runner->ShutDown(), 0u);  // both ended within the wait
  EXPECT_EQ(runner->WorkerCount(), 0u);
  EXPECT_GT(platform::FileSize(DataModel::TempPath(Task(a))), 0);
  EXPECT_GT(platform::FileSize(DataModel::TempPath(Task(b))), 0);
  clock.DeliverPending();  // events posted meanwhile find no worker and harm nothing
}

TEST_F(RunnerTest, ResumeAtStartUpStartsInterruptedTasksOnly) {
  const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
  int32_t downloading = AddTask(url + "a", "a", Downloading);
  int32_t retrying = AddTask(url + "b", "b", Retrying);
  int32_t paused = AddTask(url + "c", "c", Paused);
  runner->ResumeAtStartUp();
  EXPECT_NE(runner->FindWorker(downloading), nullptr);
  EXPECT_NE(runner->FindWorker(retrying), nullptr);
  EXPECT_EQ(runner->FindWorker(paused), nullptr);
  ASSERT_TRUE(SettlesIn(downloading, Retrying));
  ASSERT_TRUE(SettlesIn(retrying, Retrying));
}

TEST(FreeFinalName, NumbersTakenNames) {
  struct Case {
    std::vector<std::string> existing;
    std::string name, expected;
  } cases[] = {
      {{}, "clip.flv", "clip.flv"},
      {{"clip.flv"}, "clip.flv", "clip[0].flv"},
      {{"clip.flv", "clip[0].flv"}, "clip.flv", "clip[1].flv"},
      {{"clip[2].flv"}, "clip[2].flv", "clip[0].flv"},
      {{"clip[1][2].flv"}, "clip[1][2].flv", "clip[0].flv"},
      {{"[1].flv"}, "[1].flv", "[1][0].flv"},
      {{"noext"}, "noext", "noext[0]"},
  };
  for (const Case& c : cases) {
    auto exists = [&](const std::string& p) {
      return std::find(c.existing.begin(), c.existing.end(), p.substr(4)) != c.existing.end();
    };
    EXPECT_EQ(FreeFinalName("dir/", c.name, exists), c.expected) << c.name;
  }
}

TEST_F(RunnerTest, DeleteInTheDeletedListRemovesTasksAndFilesOnlyWhenTicked) {
  for (bool ticked : {false, true}) {
    int32_t a = AddTask("http://127.0.0.1/a", "a.flv", DeletedCompleted);
    int32_t b = AddTask("http://127.0.0.1/b", "b.flv", DeletedPaused);
    box.WriteFile("a.flv", "a");
    box.WriteFile(Task(b).TempFile, "b");
    list.deletedList = true;
    list.selected = {a, b};
    confirmation.alsoDeleteFiles = ticked;
    runner->Delete();
    EXPECT_EQ(model.FindTask(a), nullptr);
    EXPECT_EQ(model.FindTask(b), nullptr);
    EXPECT_EQ(platform::FileExists(box.path("a.flv")), !ticked);
    EXPECT_EQ(platform::FileExists(box.path("{1_b.flv}.TMP!")), !ticked);
  }
  // Cancel keeps everything.
  int32_t c = AddTask("http://127.0.0.1/c", "c.flv", DeletedFailed);
  list.selected = {c};
  confirmation.answerOk = false;
  runner->Delete();
  EXPECT_NE(model.FindTask(c), nullptr);
}

TEST_F(RunnerTest, DeleteOutsideTheDeletedListMovesTasksThere) {
  int32_t failed = AddTask("http://127.0.0.1/f", "f", Failed);
  int32_t paused = AddTask("http://127.0.0.1/p", "p", Paused);
  int32_t done = AddTask("http://127.0.0.1/d", "d", Completed);
  box.WriteFile("d", "kept");
  int32_t sortBefore = Task(done).SortIndex;
  list.selected = {failed, paused, done};
  runner->Delete();
  EXPECT_EQ(confirmation.asked, 0);
  EXPECT_EQ(Task(failed).DownStatus, DeletedFailed);
  EXPECT_EQ(Task(paused).DownStatus, DeletedPaused);
  EXPECT_EQ(Task(done).DownStatus, DeletedCompleted);
  EXPECT_EQ(Task(done).SortIndex, sortBefore);  // completed tasks keep their place
  EXPECT_EQ(box.ReadFile("d"), "kept");

  list.selected = {failed, paused, done};
  runner->Restore();
  EXPECT_EQ(Task(failed).DownStatus, Failed);
  EXPECT_EQ(Task(paused).DownStatus, Paused);
  EXPECT_EQ(Task(done).DownStatus, Completed);
}

TEST_F(RunnerTest, StopAllTouchesOnlyTheVisibleRows) {
  int32_t shown = AddTask("http://127.0.0.1/s", "s", Retrying);
  int32_t hidden = AddTask("http://127.0.0.1/h", "h", Retrying);
  clock.SetTimer(shown + TaskRunner::kRetryTimerBase, 10100);
  clock.SetTimer(hidden + TaskRunner::kRetryTimerBase, 10100);
  list.rows = {shown};
  runner->StopAll();
  EXPECT_EQ(Task(shown).DownStatus, Paused);
  EXPECT_EQ(Task(hidden).DownStatus, Retrying);
  EXPECT_FALSE(clock.TimerRunning(shown + TaskRunner::kRetryTimerBase));
  EXPECT_TRUE(clock.TimerRunning(hidden + TaskRunner::kRetryTimerBase));
}

TEST_F(RunnerTest, DownloadAgainAsksOnceAndRestartsOnlyFinishedTasks) {
  int32_t done = AddTask("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/d", "d", Completed);
  int32_t paused = AddTask("http://127.0.0.1/p", "p", Paused);
  box.WriteFile("d", "old");
  settings.SavePath = box.dir();
  list.selected = {done, paused};

  boxes.answer = platform::IDNO;
  runner->DownloadAgain();
  EXPECT_EQ(Task(done).DownStatus, Completed);

  boxes.answer = platform::IDYES;
  runner->DownloadAgain();
  EXPECT_EQ(boxes.texts.size(), 2u);
  EXPECT_FALSE(platform::FileExists(box.path("d")));
  EXPECT_EQ(Task(paused).DownStatus, Paused);
  EXPECT_NE(runner->FindWorker(done), nullptr);
  ASSERT_TRUE(SettlesIn(done, Retrying));
}

}  // namespace
}  // namespace runnertest
