#include <gtest/gtest.h>

#include <QMenu>
#include <QTreeView>

#include "app/download/task_list_model.h"
#include "app/download/task_rows.h"
#include "app/download/video_info_view.h"
#include "app/download/video_tree_view.h"
#include "app/shell/main_frame.h"
#include "app/shell/row_splitter.h"
#include "app/shell/task_list_saver.h"
#include "core/data_model.h"
#include "core/memory_key_value_store.h"
#include "core/settings.h"
#include "core/task_list_file.h"
#include "platform/file_system.h"
#include "tests/support/frame_stub.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using namespace shell;

struct NullLauncher : DesktopLauncher {
  std::vector<std::string> calls;
  bool StartProgram(const std::string& p, const std::string&) override { return calls.push_back(p), true; }
  bool OpenWithDefault(const std::string& p) override { return calls.push_back(p), true; }
  bool ShowInFolder(const std::string& p) override { return calls.push_back("show " + p), true; }
  bool OpenAddress(const std::string& a) override { return calls.push_back(a), true; }
};

class MainFrameTest : public ::testing::Test {
 protected:
  MainFrameTest() : runtime_("XDG_RUNTIME_DIR", box_.dir().c_str()) {
    testsupport::OffscreenApp();
    settings_.SavePath = box_.dir();
    settings_.ShowTutorial = 0;
  }
  ~MainFrameTest() override { frame_.reset(); }

  DataRecord& Add(int32_t status, const std::string& name) {
    return testsupport::AddListedTask(model_, status, name, box_.dir());
  }
  CMainFrame& Frame() {
    frame_ = std::make_unique<CMainFrame>(model_, settings_, store_, hooks_, box_.dir(), &launcher_);
    EXPECT_TRUE(frame_->Create(false));
    frame_->SetOnExit([this] { ++exits_; });
    return *frame_;
  }

  testsupport::Sandbox box_;
  testsupport::ScopedEnv runtime_;
  DataModel model_;
  Settings settings_;
  MemoryKeyValueStore store_;
  FrameHooks hooks_;
  NullLauncher launcher_;
  testsupport::RecordingMessageBoxes boxes_;
  std::unique_ptr<CMainFrame> frame_;
  int exits_ = 0;
};

TEST_F(MainFrameTest, ExitAsksOnlyWhileDownloadsRun) {
  Add(Paused, "p.flv");
  DataRecord& retrying = Add(Retrying, "r.flv");
  CMainFrame& f = Frame();
  boxes_.answer = platform::IDNO;
  EXPECT_FALSE(f.Exit(true));
  EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Confirm: There are downloads in progress, are you sure to quit?"});
  EXPECT_EQ(exits_, 0);
  retrying.DownStatus = Paused;
  EXPECT_TRUE(f.Exit(true));
  EXPECT_EQ(boxes_.texts.size(), 1u);
  EXPECT_EQ(exits_, 1);
}

TEST_F(MainFrameTest, ExitRunsTheHooksInOrder) {
  std::vector<std::string> calls;
  hooks_.stopMonitor = [&](FrameAccess&) { calls.push_back("monitor"); };
  hooks_.stopMediaInfo = [&](FrameAccess&) { calls.push_back("media"); };
  hooks_.closeOptions = [&](FrameAccess&) { calls.push_back("options"); };
  hooks_.releaseCapture = [&](FrameAccess&) { calls.push_back("capture"); };
  Add(Downloading, "d.flv");
  CMainFrame& f = Frame();
  EXPECT_TRUE(f.Exit(false));  // signals and session end: no question
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(calls, (std::vector<std::string>{"monitor", "media", "options", "capture"}));
  EXPECT_TRUE(f.isHidden());
}

TEST_F(MainFrameTest, CloseButtonCancelChangesNothingAndDontAskIsRemembered) {
  int asked = 0;
  int answer = -1;
  bool dontAsk = false;
  hooks_.askCloseAction = [&](QWidget*, int32_t preset, bool* flag) {
    ++asked;
    EXPECT_EQ(preset, settings_.CloseActionLastTimeUsed);
    *flag = dontAsk;
    return answer;
  };
  CMainFrame& f = Frame();
  f.CloseButton();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(settings_.CloseAction, kCloseAsk);
  EXPECT_EQ(exits_, 0);
  answer = kCloseProgram;
  dontAsk = true;
  f.CloseButton();
  EXPECT_EQ(settings_.CloseAction, kCloseProgram);
  EXPECT_EQ(settings_.CloseActionLastTimeUsed, kCloseProgram);
  EXPECT_EQ(exits_, 1);
}

TEST_F(MainFrameTest, PerSecondTickUpdatesTheStatusBarAndSavesEvery301stTick) {
  DataRecord& d = Add(Downloading, "d.flv");
  d.Speed = 2048;
  Add(Retrying, "r.flv");
  CMainFrame& f = Frame();
  EXPECT_EQ(f.StatusPaneText(3), "Downloading : 0");
  EXPECT_FALSE(f.BusyIconShown());
  f.PerSecondTick();
  EXPECT_EQ(f.StatusPaneText(3), "Downloading : 2");
  EXPECT_EQ(f.StatusPaneText(4), "2.00 KB/s");
  EXPECT_TRUE(f.BusyIconShown());
  for (int i = 1; i < 300; ++i) f.PerSecondTick();
  f.Saver().Wait();
  EXPECT_FALSE(platform::FileExists(box_.path("Task.dat")));
  f.PerSecondTick();
  f.Saver().Wait();
  EXPECT_EQ(f.TickCount(), 0);
  DataModel loaded;
  EXPECT_EQ(LoadTaskList(loaded, box_.dir(), true), 2);
}

TEST_F(MainFrameTest, MessagesRouteByTheirNumbers) {
  std::vector<std::pair<uint32_t, platform::MessageParam>> seen;
  for (uint32_t msg : {UM_CAPTURED, UM_CAPTURE_ADD, UM_HISTORY_CLEAR})
    hooks_.messages[msg] = [&seen, msg](FrameAccess&, platform::MessageParam w, platform::MessageParam) {
      seen.emplace_back(msg, w);
    };
  Add(Paused, "a.flv");
  Add(Paused, "b.flv");
  CMainFrame& f = Frame();
  f.OnMessage(UM_CAPTURED, 7, 0);
  f.OnMessage(UM_HISTORY_CLEAR, 0, 0);
  f.OnMessage(UM_POPUP_CLOSED, 1, 0);  // unhooked: dropped
  EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, platform::MessageParam>>{{UM_CAPTURED, 7}, {UM_HISTORY_CLEAR, 0}}));
  f.OnMessage(UM_SELECT_ALL_TASKS, 0, 0);
  EXPECT_EQ(f.List()->SelectedRows().size(), 2u);
}

TEST_F(MainFrameTest, ShowTaskPicksTheCategoryAndTheRow) {
  Add(Paused, "a.flv");
  const int32_t gone = Add(DeletedCompleted, "gone.flv").TaskIndex;
  Add(Completed, "c.flv");
  CMainFrame& f = Frame();
  f.OnMessage(UM_SHOW_TASK, 0, gone);
  EXPECT_EQ(f.Tree()->SelectedCategory(), kCategoryDeleted);
  EXPECT_EQ(f.List()->ShownCategory(), kCategoryDeleted);
  EXPECT_EQ(f.List()->SelectedRows(), std::vector<int32_t>{gone});
  f.OnMessage(UM_SHOW_TASK, 0, 1);
  EXPECT_EQ(f.Tree()->SelectedCategory(), kCategoryAll);
  EXPECT_EQ(f.List()->SelectedRows(), std::vector<int32_t>{1});
  f.OnMessage(UM_SHOW_TASK, 0, -1);  // refused
  EXPECT_EQ(f.List()->SelectedRows(), std::vector<int32_t>{1});
}

TEST_F(MainFrameTest, DownloadAgainLeavesBusyAndFailedTasksAlone) {
  const int32_t busy = Add(Downloading, "d.flv").TaskIndex;
  const int32_t failed = Add(Failed, "f.flv").TaskIndex;
  const int32_t sortBefore = model_.GetSortIndex(failed);
  CMainFrame& f = Frame();
  f.OnMessage(UM_DOWNLOAD_AGAIN, 0, busy);
  f.OnMessage(UM_DOWNLOAD_AGAIN, 0, failed);
  EXPECT_EQ(model_.GetDownStatus(busy), Downloading);
  EXPECT_EQ(model_.GetDownStatus(failed), Failed);
  EXPECT_EQ(model_.GetSortIndex(failed), sortBefore);
}

TEST_F(MainFrameTest, MonitoringSwitchAndTrayMenuText) {
  std::vector<bool> told;
  hooks_.monitoringChanged = [&](FrameAccess&, bool on) { told.push_back(on); };
  CMainFrame& f = Frame();
  QAction* item = f.TrayMenu()->actions()[2];
  emit f.TrayMenu()->aboutToShow();
  EXPECT_EQ(item->text(), "Disable Monitor");
  EXPECT_FALSE(f.CommandEnabled(ID_MONITOR_ENABLE));
  f.OnCommand(ID_MONITOR_TOGGLE);
  emit f.TrayMenu()->aboutToShow();
  EXPECT_EQ(item->text(), "Enable Monitor");
  EXPECT_EQ(settings_.Monitoring, 0);
  EXPECT_TRUE(f.CommandEnabled(ID_MONITOR_ENABLE));
  EXPECT_FALSE(f.CommandEnabled(ID_MONITOR_DISABLE));
  EXPECT_EQ(told, std::vector<bool>{false});
}

TEST_F(MainFrameTest, CommandEnablingFollowsTheSelection) {
  Add(Completed, "c.flv");
  Add(Paused, "p.flv");
  CMainFrame& f = Frame();
  EXPECT_FALSE(f.CommandEnabled(ID_TASK_START));
  EXPECT_FALSE(f.CommandEnabled(ID_TASK_DELETE));
  EXPECT_TRUE(f.CommandEnabled(ID_TASK_START_ALL));
  f.List()->SelectTask(2);
  EXPECT_TRUE(f.CommandEnabled(ID_TASK_START));
  EXPECT_FALSE(f.CommandEnabled(ID_TASK_DOWNLOAD_AGAIN));
  EXPECT_FALSE(f.CommandEnabled(ID_TASK_OPEN_FILE));
  f.List()->SelectTask(1);
  EXPECT_TRUE(f.CommandEnabled(ID_TASK_DOWNLOAD_AGAIN));
  EXPECT_TRUE(f.CommandEnabled(ID_TASK_OPEN_FILE));
  EXPECT_FALSE(f.CommandEnabled(ID_TASK_START));
}

TEST_F(MainFrameTest, LowerPanesKeepTheirHeightWhenTheWindowIsResized) {
  hooks_.createPreviewPane = [](FrameAccess&, QWidget* parent) { return new QWidget(parent); };
  hooks_.previewFile = [](FrameAccess& f, const std::string&, int32_t) {
    static_cast<CMainFrame&>(f).PreviewPane()->show();
  };
  CMainFrame& f = Frame();
  f.show();
  QApplication::processEvents();
  const int log = f.Info()->height();
  const int player = f.PreviewPane()->height();
  EXPECT_EQ(player, 240);
  f.resize(1100, 900);
  QApplication::processEvents();
  EXPECT_EQ(f.Info()->height(), log);
  EXPECT_EQ(f.PreviewPane()->height(), player);
  f.resize(700, 420);
  QApplication::processEvents();
  EXPECT_EQ(f.Info()->height(), log);
  EXPECT_GT(f.List()->height(), 0);
}

TEST(TaskListSaverTest, WritesACopyWithoutTouchingTheLogs) {
  testsupport::Sandbox box;
  DataModel model;
  DataRecord t;
  t.TaskIndex = 1;
  t.SortIndex = 1;
  t.DownStatus = Paused;
  t.FileName = "a.flv";
  t.URL = "http://example.test/a.flv";
  t.SaveDir = box.dir();
  t.Log.push_back(LogEntry{LOG_SUMMARY, 0, "kept", "", 1});
  model.tasks.push_back(t);
  std::unique_ptr<DataModel> copy = TaskListSaver::Snapshot(model);
  EXPECT_TRUE(copy->tasks[0].Log.empty());
  EXPECT_EQ(model.tasks[0].Log.size(), 1u);
  TaskListSaver saver(box.dir());
  saver.SaveInBackground(model);
  model.tasks[0].FileName = "changed.flv";  // after the copy: not in this write
  saver.Wait();
  DataModel loaded;
  ASSERT_EQ(LoadTaskList(loaded, box.dir(), false), 1);
  EXPECT_EQ(loaded.tasks[0].FileName, "a.flv");
  EXPECT_TRUE(saver.SaveNow(model));
  DataModel again;
  LoadTaskList(again, box.dir(), false);
  EXPECT_EQ(again.tasks[0].FileName, "changed.flv");
}

}  // namespace
