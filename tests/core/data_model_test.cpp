#include "core/data_model.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/sandbox.h"

namespace {

DataRecord Task(int32_t index, int32_t status, int32_t speed = 0) {
  DataRecord t;
  t.TaskIndex = index;
  t.SortIndex = index * 10;
  t.DownStatus = status;
  t.Speed = speed;
  return t;
}

class RecordingRunner : public TaskRunnerHooks {
 public:
  void RefreshViews() override { ++refreshes; }
  void StartTask(int32_t taskIndex, uint8_t startFlag) override { started.push_back({taskIndex, startFlag}); }
  int refreshes = 0;
  std::vector<std::pair<int32_t, uint8_t>> started;
};

class RecordingWindow : public AskingWindow {
 public:
  void SendTaskAdded() override { ++added; }
  int added = 0;
};

TEST(DataModel, LookupsAndRemovalByTaskIndex) {
  DataModel model;
  for (int32_t i = 1; i <= 3; ++i) model.tasks.push_back(Task(i, Paused));
  model.tasks[1].DownStatus = Completed;

  ASSERT_NE(model.FindTask(2), nullptr);
  EXPECT_EQ(model.FindTask(2)->TaskIndex, 2);
  EXPECT_EQ(model.FindTask(7), nullptr);
  EXPECT_EQ(model.GetDownStatus(2), Completed);
  EXPECT_EQ(model.GetDownStatus(7), -1);
  EXPECT_EQ(model.GetSortIndex(3), 30);
  EXPECT_EQ(model.GetSortIndex(7), -1);

  EXPECT_FALSE(model.RemoveTask(-1));
  EXPECT_FALSE(model.RemoveTask(7));
  EXPECT_TRUE(model.RemoveTask(2));
  EXPECT_FALSE(model.RemoveTask(2));
  ASSERT_EQ(model.tasks.size(), 2u);
  EXPECT_EQ(model.tasks[0].TaskIndex, 1);
  EXPECT_EQ(model.tasks[1].TaskIndex, 3);

  DataModel empty;
  EXPECT_FALSE(empty.RemoveTask(1));
}

TEST(DataModel, NewTasksAreCountedNowhere) {
  DataModel model;
  for (int32_t status = New; status <= DeletedCompleted; ++status) model.tasks.push_back(Task(status + 1, status));
  model.tasks.push_back(Task(20, New));
  CategoryCounts counts = model.CountByCategory();
  EXPECT_EQ(counts.downloading, 5);
  EXPECT_EQ(counts.completed, 1);
  EXPECT_EQ(counts.deleted, 3);
  EXPECT_EQ(counts.downloading + counts.completed, 6);  // "All"
}

TEST(DataModel, RunningTotalsCountDownloadingAndRetrying) {
  DataModel model;
  model.tasks = {Task(1, Downloading, 1000), Task(2, Retrying, 24), Task(3, Paused, 500),
                 Task(4, Stopping, 70), Task(5, Downloading, 2000000000), Task(6, Downloading, 2000000000)};
  RunningSummary totals = model.RunningTotals();
  EXPECT_EQ(totals.count, 4);
  EXPECT_EQ(totals.speed, 4000001024);  // beyond 32 bits without overflow
}

TEST(DataModel, LogLinesGoToTheirTask) {
  DataModel model;
  model.tasks.push_back(Task(1, Paused));
  EXPECT_TRUE(model.AppendLog(1, LOG_SUMMARY, 3, "User canceled the downloading."));
  LogEntry detail;
  detail.kind = LOG_DETAIL;
  detail.text = "detail";
  EXPECT_TRUE(model.AppendLog(1, detail));
  EXPECT_FALSE(model.AppendLog(2, detail));

  const auto& log = model.tasks[0].Log;
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].icon, 3);
  EXPECT_EQ(log[0].text, "User canceled the downloading.");
  EXPECT_EQ(log[0].time.size(), 19u);  // "%Y-%m-%d %H:%M:%S"
  EXPECT_EQ(log[0].TaskIndex, 1);
  EXPECT_EQ(log[1].kind, LOG_DETAIL);
  EXPECT_EQ(log[1].TaskIndex, 1);
}

TEST(DataModel, Paths) {
  struct Case {
    const char* dir;
    std::string joined;
  } cases[] = {
      {"/v/", "/v/clip.flv"},
      {"/v", "/v/clip.flv"},
      {"", "clip.flv"},  // no folder: stays relative, never the root
  };
  for (const Case& c : cases) {
    DataRecord t;
    t.SaveDir = c.dir;
    t.FileName = "clip.flv";
    t.TempFile = "{1_clip.flv}.TMP!";
    EXPECT_EQ(DataModel::FinalPath(t), std::string(c.dir) + "clip.flv");
    EXPECT_EQ(DataModel::TempPath(t), std::string(c.dir) + "{1_clip.flv}.TMP!");
    EXPECT_EQ(DataModel::FinalPathWithSeparator(t), c.joined) << c.dir;
  }
}

class DownloadAgainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DataRecord t = Task(1, Completed, 900);
    t.URL = "http://host/v/clip.flv";
    t.SaveDir = box.dir();
    t.FileName = "clip.flv";
    t.TempFile = "{7_clip.flv}.TMP!";
    t.FileBytes = t.DownBytes = 4096;
    t.Progress = "100";
    t.SpeedText = "1.00 KB/s";
    t.ElapsedText = "00:00:04";
    t.TimeLeftText = "00:00:00";
    t.StatusText = "Completed";
    t.Width = 320;
    t.Height = 240;
    t.Duration = "00:01:00";
    t.CreateTime = "2026-01-01 10:00:00";
    t.FinishTime = "2026-01-01 10:00:04";
    t.RetryCount = 3;
    t.Log.push_back(LogEntry{});
    model.tasks.push_back(t);
    model.tasks.push_back(Task(2, Paused));
    model.LastTaskIndex = 2;
    model.LastSortIndex = 20;
    box.WriteFile("clip.flv", "final");
    box.WriteFile("{7_clip.flv}.TMP!", "temp");
  }

  testsupport::Sandbox box;
  DataModel model;
  RecordingRunner runner;
  RecordingWindow window;
};

TEST_F(DownloadAgainTest, ResetsTheTaskAndDeletesBothFiles) {
  ASSERT_TRUE(model.DownloadAgain(1, &runner, &window));
  const DataRecord& t = *model.FindTask(1);
  EXPECT_FALSE(platform::FileExists(box.path("clip.flv")));
  EXPECT_FALSE(platform::FileExists(box.path("{7_clip.flv}.TMP!")));
  EXPECT_EQ(t.DownStatus, Paused);
  EXPECT_EQ(t.FileBytes, 0);
  EXPECT_EQ(t.DownBytes, 0);
  EXPECT_EQ(t.Progress + t.SpeedText + t.ElapsedText + t.TimeLeftText, "");
  EXPECT_EQ(t.StatusText, "Paused");
  EXPECT_EQ(t.Width, 0);
  EXPECT_EQ(t.Height, 0);
  EXPECT_EQ(t.Duration + t.CreateTime + t.FinishTime, "");
  EXPECT_EQ(t.RetryCount, 0);
  EXPECT_EQ(t.SortIndex, 21);
  EXPECT_EQ(model.LastSortIndex, 21);
  EXPECT_TRUE(t.Log.empty());
  // Address, folder and names stay for the new download.
  EXPECT_EQ(t.URL, "http://host/v/clip.flv");
  EXPECT_EQ(DataModel::TempPath(t), box.path("{7_clip.flv}.TMP!"));
  EXPECT_EQ(runner.started, (std::vector<std::pair<int32_t, uint8_t>>{{1, 1}}));
  EXPECT_EQ(window.added, 1);
  EXPECT_EQ(runner.refreshes, 1);
}

TEST_F(DownloadAgainTest, OnlyIdleTasksQualify) {
  struct Case {
    int32_t status;
    bool restarts;
  } cases[] = {
      {New, false},      {Failed, false},       {Downloading, false},   {Stopping, false},
      {Retrying, false}, {Paused, true},        {Completed, true},      {DeletedFailed, true},
      {DeletedPaused, true}, {DeletedCompleted, true},
  };
  for (const Case& c : cases) {
    box.WriteFile("clip.flv", "final");
    model.tasks[0].DownStatus = c.status;
    model.tasks[0].FileBytes = 4096;
    EXPECT_EQ(model.DownloadAgain(1, &runner, nullptr), c.restarts) << c.status;
    EXPECT_EQ(platform::FileExists(box.path("clip.flv")), !c.restarts) << c.status;
    EXPECT_EQ(model.tasks[0].FileBytes, c.restarts ? 0 : 4096) << c.status;
  }
  EXPECT_FALSE(model.DownloadAgain(9, &runner, &window));
  EXPECT_EQ(window.added, 0);
}

}  // namespace
