#include <gtest/gtest.h>

#include "core/data_model.h"
#include "core/temp_name.h"
#include "tests/support/sandbox.h"

namespace {

class FakeNewDownloadDialog : public NewDownloadDialog {
 public:
  bool Show(const TaskRequest* incoming, TaskRequest& result) override {
    ++shown;
    sawRequest = incoming != nullptr;
    if (!ok) return false;
    result.URL = url;
    result.SaveDir = saveDir;
    result.FileName = fileName;
    result.TempFile = tempFile;
    result.StartFlag = 1;
    return true;
  }
  bool ok = true;
  std::string url, saveDir, fileName, tempFile;
  int shown = 0;
  bool sawRequest = false;
};

class FakeTaskExistedDialog : public TaskExistedDialog {
 public:
  void Show(const std::string& url, int32_t existingTaskIndex) override {
    shownUrl = url;
    shownIndex = existingTaskIndex;
  }
  std::string shownUrl;
  int32_t shownIndex = -1;
};

class FakeRunner : public TaskRunnerHooks {
 public:
  void RefreshViews() override { ++refreshes; }
  void StartTask(int32_t taskIndex, uint8_t startFlag) override { started.push_back({taskIndex, startFlag}); }
  int refreshes = 0;
  std::vector<std::pair<int32_t, uint8_t>> started;
};

class FakeWindow : public AskingWindow {
 public:
  void SendTaskAdded() override { ++added; }
  int added = 0;
};

// Splits "scheme://host/app/stream" at its slashes, as the address parser
// does for simple addresses; refuses anything without a host.
bool SplitAtSlashes(const std::string& url, std::string& host, std::string& playPath, std::string& app) {
  size_t start = url.find("://");
  if (start == std::string::npos) return false;
  start += 3;
  size_t hostEnd = url.find('/', start);
  if (hostEnd == std::string::npos || hostEnd == start) return false;
  size_t appEnd = url.find('/', hostEnd + 1);
  if (appEnd == std::string::npos) return false;
  host = url.substr(start, hostEnd - start);
  app = url.substr(hostEnd + 1, appEnd - hostEnd - 1);
  playPath = url.substr(appEnd + 1);
  return true;
}

class AddTaskTest : public ::testing::Test {
 protected:
  AddTaskTest() {
    options.SavePath = box.dir();
    services.newDownload = &dialog;
    services.taskExisted = &existed;
    services.runner = &runner;
    services.splitStreamAddress = [this](const std::string& url, std::string& host, std::string& playPath,
                                         std::string& app) {
      ++splits;
      return SplitAtSlashes(url, host, playPath, app);
    };
    services.tempNameSeed = [] { return kSeed; };
  }

  static TaskRequest Request(const std::string& url) {
    TaskRequest r;
    r.URL = url;
    return r;
  }

  static constexpr uint32_t kSeed = 1700000000;
  testsupport::Sandbox box;
  DataModel model;
  AddTaskOptions options;
  AddTaskServices services;
  FakeNewDownloadDialog dialog;
  FakeTaskExistedDialog existed;
  FakeRunner runner;
  FakeWindow window;
  int splits = 0;
};

TEST_F(AddTaskTest, DirectAddNumbersTasksAndFillsTheRecord) {
  TaskRequest r = Request("  http://host/v/clip.flv?id=1 ");
  r.Referer = "http://host/page";
  r.Cookie = "a=1";
  r.UserAgent = "agent";
  r.Comment = "note";
  r.FileName = r.SaveDir = "ignored";
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(model.AddTask(&r, options, services, &window), i);
  }
  ASSERT_EQ(model.tasks.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(model.tasks[i].TaskIndex, i + 1);
    EXPECT_EQ(model.tasks[i].SortIndex, i + 1);
  }
  EXPECT_EQ(model.LastTaskIndex, 3);
  EXPECT_EQ(model.LastSortIndex, 3);

  const DataRecord& t = model.tasks[0];
  EXPECT_EQ(t.URL, "http://host/v/clip.flv?id=1");
  EXPECT_EQ(t.SaveDir, box.dir());
  EXPECT_EQ(t.FileName, "clip.flv");
  EXPECT_EQ(model.tasks[1].FileName, "clip[1].flv");  // the first task holds clip.flv
  EXPECT_EQ(model.tasks[2].FileName, "clip[2].flv");
  EXPECT_EQ(t.TempFile, "{" + std::to_string(TempNameRandom(kSeed).Next()) + "_clip.flv}.TMP!");
  EXPECT_EQ(t.Referer, "http://host/page");
  EXPECT_EQ(t.Cookie, "a=1");
  EXPECT_EQ(t.UserAgent, "agent");
  EXPECT_EQ(t.Comment, "note");
  EXPECT_EQ(t.StatusText, "Paused");
  EXPECT_EQ(t.DownStatus, Paused);
  EXPECT_TRUE(t.RTMPHost.empty() && t.RTMPTHost.empty());
  EXPECT_EQ(splits, 0);
  EXPECT_EQ(dialog.shown, 0);
  EXPECT_EQ(runner.refreshes, 3);
  EXPECT_EQ(runner.started, (std::vector<std::pair<int32_t, uint8_t>>{{1, 1}, {2, 1}, {3, 1}}));
  EXPECT_EQ(window.added, 3);
}

TEST_F(AddTaskTest, StartFlagIsPassedToTheRunner) {
  TaskRequest r = Request("http://host/v/clip.flv");
  r.StartFlag = 0;
  ASSERT_EQ(model.AddTask(&r, options, services), 1);
  EXPECT_EQ(runner.started, (std::vector<std::pair<int32_t, uint8_t>>{{1, 0}}));
  EXPECT_EQ(model.tasks[0].DownStatus, Paused);
}

TEST_F(AddTaskTest, TemporaryNameTakenOnDiskIsDrawnAgain) {
  TempNameRandom random(kSeed);
  const int first = random.Next();
  const int second = random.Next();
  ASSERT_NE(first, second);
  box.WriteFile("{" + std::to_string(first) + "_clip.flv}.TMP!", "someone else's");

  TaskRequest r = Request("http://host/v/clip.flv");
  ASSERT_EQ(model.AddTask(&r, options, services), 1);
  EXPECT_EQ(model.tasks[0].TempFile, "{" + std::to_string(second) + "_clip.flv}.TMP!");
}

TEST(MakeTempFileName, SkipsTemporaryNamesOfListedTasks) {
  // Workers create their temporary files later, so the list counts as well.
  testsupport::Sandbox box;
  TempNameRandom random(42);
  const int first = random.Next();
  const int second = random.Next();
  DataModel model;
  DataRecord listed;
  listed.SaveDir = box.dir();
  listed.TempFile = "{" + std::to_string(first) + "_a.flv}.TMP!";
  model.tasks.push_back(listed);

  TempNameRandom again(42);
  std::string name;
  ASSERT_TRUE(MakeTempFileName(box.dir(), "a.flv", again, &model, name));
  EXPECT_EQ(name, "{" + std::to_string(second) + "_a.flv}.TMP!");
}

TEST_F(AddTaskTest, StreamAddressesAreSplitIntoTheirOwnFields) {
  struct Case {
    const char* url;
    bool presplit;      // the request already carries the host
    bool rtmpt;         // which group of fields is filled
    int splitterCalls;
  } cases[] = {
      {"rtmpt://media.example.com/vod/clip", false, true, 1},
      {"RTMPT://media.example.com/vod/clip", false, true, 1},
      {"rtmp://media.example.com/vod/clip", false, false, 1},
      {"rtmpt://media.example.com/vod/clip", true, true, 0},
      {"rtmp://media.example.com/vod/clip", true, false, 0},
  };
  for (const Case& c : cases) {
    DataModel fresh;
    splits = 0;
    TaskRequest r = Request(c.url);
    if (c.presplit) {
      (c.rtmpt ? r.RTMPTHost : r.RTMPHost) = "given";
      (c.rtmpt ? r.RTMPTApp : r.RTMPApp) = "givenapp";
    }
    ASSERT_EQ(fresh.AddTask(&r, options, services), 1) << c.url;
    const DataRecord& t = fresh.tasks[0];
    const std::string& host = c.rtmpt ? t.RTMPTHost : t.RTMPHost;
    const std::string& app = c.rtmpt ? t.RTMPTApp : t.RTMPApp;
    const std::string& play = c.rtmpt ? t.RTMPTPlayPath : t.RTMPPlayPath;
    EXPECT_EQ(host, c.presplit ? "given" : "media.example.com") << c.url;
    EXPECT_EQ(app, c.presplit ? "givenapp" : "vod") << c.url;
    EXPECT_EQ(play, c.presplit ? "" : "clip") << c.url;
    const std::string untouched = c.rtmpt ? t.RTMPHost + t.RTMPApp + t.RTMPPlayPath
                                          : t.RTMPTHost + t.RTMPTApp + t.RTMPTPlayPath;
    EXPECT_EQ(untouched, "") << c.url;
    EXPECT_EQ(t.FileName, "clip.flv") << c.url;
    EXPECT_EQ(splits, c.splitterCalls) << c.url;
  }
}

TEST_F(AddTaskTest, UnsplittableStreamAddressAddsNothing) {
  for (const char* url : {"rtmp://", "rtmpt:///vod/clip", "rtmp://hostonly"}) {
    TaskRequest r = Request(url);
    EXPECT_EQ(model.AddTask(&r, options, services, &window), -1) << url;
  }
  services.splitStreamAddress = nullptr;  // not wired: refuse rather than guess
  TaskRequest r = Request("rtmp://media.example.com/vod/clip");
  EXPECT_EQ(model.AddTask(&r, options, services, &window), -1);

  EXPECT_TRUE(model.tasks.empty());
  EXPECT_EQ(model.LastTaskIndex, 0);
  EXPECT_EQ(model.LastSortIndex, 0);
  EXPECT_TRUE(runner.started.empty());
  EXPECT_EQ(runner.refreshes, 0);
  EXPECT_EQ(window.added, 0);
  EXPECT_TRUE(existed.shownUrl.empty());
}

TEST_F(AddTaskTest, DialogResultMakesTheTask) {
  options.ShowTaskWnd = true;
  dialog.url = " http://host/v/other.flv ";
  dialog.saveDir = box.path("picked/");
  dialog.fileName = "  My clip.flv  ";
  dialog.tempFile = "{5_My clip.flv}.TMP!";
  TaskRequest r = Request("http://host/v/clip.flv");
  r.Cookie = "captured=1";
  r.StartFlag = 0;

  ASSERT_EQ(model.AddTask(&r, options, services, &window), 1);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_TRUE(dialog.sawRequest);
  const DataRecord& t = model.tasks[0];
  EXPECT_EQ(t.URL, "http://host/v/other.flv");
  EXPECT_EQ(t.FileName, "My clip.flv");
  EXPECT_EQ(t.SaveDir, box.path("picked/"));
  EXPECT_EQ(t.TempFile, "{5_My clip.flv}.TMP!");
  EXPECT_EQ(t.Cookie, "captured=1");  // what the dialog does not edit comes with the request
  EXPECT_EQ(runner.started, (std::vector<std::pair<int32_t, uint8_t>>{{1, 1}}));
  EXPECT_EQ(window.added, 1);
}

TEST_F(AddTaskTest, NoRequestAlwaysAsksAndCancelAddsNothing) {
  dialog.ok = false;
  EXPECT_EQ(model.AddTask(nullptr, options, services, &window), -1);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_FALSE(dialog.sawRequest);
  EXPECT_TRUE(model.tasks.empty());
  EXPECT_EQ(window.added, 0);

  dialog.ok = true;
  dialog.url = "http://host/v/typed.flv";
  dialog.saveDir = box.dir();
  dialog.fileName = "typed.flv";
  EXPECT_EQ(model.AddTask(nullptr, options, services), 1);

  services.newDownload = nullptr;
  EXPECT_EQ(model.AddTask(nullptr, options, services), -1);
  EXPECT_EQ(model.tasks.size(), 1u);
}

TEST_F(AddTaskTest, DialogRefusesAnAddressThatDiffersOnlyInCase) {
  TaskRequest first = Request("http://Host.example/V/Clip.flv");
  ASSERT_EQ(model.AddTask(&first, options, services), 1);
  runner.started.clear();

  options.ShowTaskWnd = true;
  dialog.url = "HTTP://host.example/v/clip.FLV";
  dialog.saveDir = box.dir();
  dialog.fileName = "again.flv";
  TaskRequest second = Request(dialog.url);
  EXPECT_EQ(model.AddTask(&second, options, services, &window), -1);
  EXPECT_EQ(existed.shownUrl, dialog.url);
  EXPECT_EQ(existed.shownIndex, 1);
  EXPECT_EQ(model.tasks.size(), 1u);
  EXPECT_TRUE(runner.started.empty());
  EXPECT_EQ(window.added, 0);

  // The direct path makes no such check.
  options.ShowTaskWnd = false;
  EXPECT_EQ(model.AddTask(&second, options, services), 2);
}

}  // namespace
