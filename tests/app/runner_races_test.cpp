// The runner's commands while workers start and end on their own threads:
// the manual clock holds the workers' events until the test delivers them,
// so each window between a command and a worker's first or last event is
// opened on purpose.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/app/runner_fixture.h"

namespace runnertest {
namespace {

class RunnerRaceTest : public RunnerTest {
 protected:
  // A task that failed once and waits for its retry timer.
  int32_t RetryingTask(const std::string& url, const std::string& name) {
    int32_t t = AddTask(url, name);
    Task(t).DownStatus = Retrying;
    Task(t).StatusText = "Retrying";
    clock.SetTimer(t + TaskRunner::kRetryTimerBase, 10100);
    return t;
  }
  // The retry timer fires; the new worker's first event is not handled yet.
  void RetryTimerFires(int32_t t) {
    clock.KillTimer(t + TaskRunner::kRetryTimerBase);
    runner->OnTimer(t + TaskRunner::kRetryTimerBase);
  }

  LocalServer holding{LocalServer::kSilent};
};

TEST_F(RunnerRaceTest, SecondStartBeforeTheFirstEventMakesNoSecondWorker) {
  int32_t t = AddTask(holding.Url("/a"), "a");
  list.selected = {t};
  runner->Start();
  SocketDownLoad* first = runner->FindWorker(t);
  ASSERT_NE(first, nullptr);
  runner->Start();  // the task still shows Paused
  runner->StartTask(t, 1);
  EXPECT_EQ(runner->WorkerCount(), 1u);
  EXPECT_EQ(runner->FindWorker(t), first);

  ASSERT_TRUE(clock.DeliverUntil([&] { return Task(t).DownStatus == Downloading; }));
  runner->Stop();
  ASSERT_TRUE(SettlesIn(t, Paused));
  EXPECT_EQ(runner->WorkerCount(), 0u);
}

TEST_F(RunnerRaceTest, StopAndDeleteReachAWorkerWhateverTheStatusShows) {
  struct Case {
    const char* what;
    bool retrying;  // the worker was started by the retry timer, else by Start
    bool remove;    // Delete rather than Stop
    int32_t settled;
    const char* logged;
  } cases[] = {
      {"stop after the retry timer fired", true, false, Paused, "User canceled the downloading."},
      {"delete after the retry timer fired", true, true, DeletedPaused, "User deleted the downloading."},
      {"stop right after Start", false, false, Paused, "User canceled the downloading."},
      {"delete right after Start", false, true, DeletedPaused, "User deleted the downloading."},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = "f" + std::to_string(n++);
    int32_t t = c.retrying ? RetryingTask(holding.Url("/" + name), name) : AddTask(holding.Url("/" + name), name);
    list.selected = {t};
    if (c.retrying)
      RetryTimerFires(t);
    else
      runner->Start();
    ASSERT_NE(runner->FindWorker(t), nullptr);
    if (c.remove)
      runner->Delete();
    else
      runner->Stop();
    EXPECT_EQ(Task(t).DownStatus, Stopping);
    EXPECT_FALSE(clock.TimerRunning(t + TaskRunner::kRetryTimerBase));
    // The worker's first event, handled after the command, must not bring
    // the task back as Downloading.
    ASSERT_TRUE(SettlesIn(t, c.settled));
    EXPECT_TRUE(LogHas(Task(t), c.logged));
    EXPECT_EQ(Task(t).RetryCount, 0);
    clock.Advance(60000);
    EXPECT_EQ(Task(t).DownStatus, c.settled);
    EXPECT_EQ(runner->WorkerCount(), 0u);
  }
}

TEST_F(RunnerRaceTest, WatchdogLeavesStoppedWorkersAlone) {
  for (bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "deleted" : "stopped");
    int32_t t = AddTask(holding.Url(remove ? "/d" : "/s"), remove ? "d" : "s");
    runner->StartTask(t, 1);
    ASSERT_TRUE(clock.DeliverUntil([&] { return Task(t).DownStatus == Downloading; }));
    list.selected = {t};
    SocketDownLoad* worker = runner->FindWorker(t);
    if (remove)
      runner->Delete();
    else
      runner->Stop();
    // Ticks before the worker's final event is handled: enough for a time-out.
    for (int i = 0; i < 4; ++i) runner->WatchdogTick();
    EXPECT_EQ(worker->timeoutFlag.load(), 0);
    ASSERT_TRUE(SettlesIn(t, remove ? DeletedPaused : Paused));
    EXPECT_FALSE(LogHas(Task(t), "Connection timeout."));
    EXPECT_FALSE(clock.TimerRunning(t + TaskRunner::kRetryTimerBase));
  }
}

TEST_F(RunnerRaceTest, UserRequestWinsOverATimeOutThatCameFirst) {
  for (bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "deleted" : "stopped");
    int32_t t = AddTask(holding.Url(remove ? "/d" : "/s"), remove ? "d" : "s");
    runner->StartTask(t, 1);
    SocketDownLoad* worker = runner->FindWorker(t);
    for (int i = 0; i < 3; ++i) runner->WatchdogTick();  // grace, mark, time-out
    ASSERT_EQ(worker->timeoutFlag.load(), 1);
    list.selected = {t};
    if (remove)
      runner->Delete();
    else
      runner->Stop();
    // The worker reports the time-out; the user asked for the end first.
    ASSERT_TRUE(SettlesIn(t, remove ? DeletedPaused : Paused));
    EXPECT_FALSE(clock.TimerRunning(t + TaskRunner::kRetryTimerBase));
    clock.Advance(60000);
    EXPECT_EQ(Task(t).DownStatus, remove ? DeletedPaused : Paused);
    EXPECT_EQ(runner->WorkerCount(), 0u);
  }
}

TEST_F(RunnerRaceTest, ShutDownStopsEveryWorkerAndEveryRetryTimer) {
  int32_t downloading = AddTask(holding.Url("/a"), "a");
  int32_t justRetried = RetryingTask(holding.Url("/b"), "b");
  int32_t justStarted = AddTask(holding.Url("/c"), "c");
  int32_t waiting = RetryingTask(holding.Url("/d"), "d");
  runner->StartTask(downloading, 1);
  ASSERT_TRUE(clock.DeliverUntil([&] { return Task(downloading).DownStatus == Downloading; }));
  RetryTimerFires(justRetried);
  runner->StartTask(justStarted, 1);
  ASSERT_EQ(runner->WorkerCount(), 3u);
  // Every worker is connected and waits for its answer.
  ASSERT_TRUE(clock.DeliverUntil([&] {
    return LogHas(Task(downloading), "Connected.") && LogHas(Task(justRetried), "Connected.") &&
           LogHas(Task(justStarted), "Connected.");
  }));

  EXPECT_EQ(runner->ShutDown(), 0u);  // every worker ended within its wait
  EXPECT_EQ(runner->WorkerCount(), 0u);
  EXPECT_EQ(clock.TimerCount(), 0u);
  EXPECT_FALSE(clock.TimerRunning(waiting + TaskRunner::kRetryTimerBase));
  // The workers closed their connections: none was left running.
  for (int i = 0; i < 500 && holding.closedByClient() < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(holding.closedByClient(), 3);
}

TEST_F(RunnerRaceTest, DeleteOfRetryingAndStoppingTasks) {
  int32_t retrying = RetryingTask(holding.Url("/r"), "r");
  Task(retrying).RetryCount = 5;
  int32_t stopping = AddTask(holding.Url("/s"), "s");
  runner->StartTask(stopping, 1);
  ASSERT_TRUE(clock.DeliverUntil([&] { return Task(stopping).DownStatus == Downloading; }));
  list.selected = {stopping};
  runner->Stop();
  ASSERT_EQ(Task(stopping).DownStatus, Stopping);

  const int32_t sortBefore = model.LastSortIndex;
  list.selected = {retrying, stopping};
  runner->Delete();
  EXPECT_EQ(Task(retrying).DownStatus, DeletedPaused);
  EXPECT_EQ(Task(retrying).RetryCount, 0);
  EXPECT_GT(Task(retrying).SortIndex, sortBefore);
  EXPECT_FALSE(clock.TimerRunning(retrying + TaskRunner::kRetryTimerBase));
  // The stopping task's worker gets the delete: it ends in the Deleted list.
  ASSERT_TRUE(SettlesIn(stopping, DeletedPaused));
  EXPECT_GT(Task(stopping).SortIndex, sortBefore);
  clock.Advance(60000);
  EXPECT_EQ(runner->WorkerCount(), 0u);
  EXPECT_EQ(Task(retrying).DownStatus, DeletedPaused);
}

}  // namespace
}  // namespace runnertest
