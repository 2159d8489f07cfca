#include <gtest/gtest.h>

#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSignalSpy>
#include <QTreeView>

#include "app/download/desktop_launcher.h"
#include "app/download/task_list_model.h"
#include "app/download/video_info_view.h"
#include "app/download/video_list_view.h"
#include "app/download/video_tree_view.h"
#include "core/data_model.h"
#include "core/program_dir.h"
#include "core/settings.h"
#include "http/socket_download.h"
#include "platform/file_system.h"
#include "tests/support/frame_stub.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/sandbox.h"

namespace {

struct FakeHost : ListViewHost {
  std::vector<int> trees;
  std::vector<int32_t> logs;
  std::vector<std::pair<std::string, int32_t>> previews;
  std::vector<int32_t> properties;
  std::vector<uint32_t> posted;
  int refreshes = 0;
  void SelectTreeCategory(int c) override { trees.push_back(c); }
  void ShowLog(int32_t t) override { logs.push_back(t); }
  void PreviewFile(const std::string& p, int32_t t) override { previews.emplace_back(p, t); }
  void RefreshViews() override { ++refreshes; }
  void ShowProperties(const DataRecord& task) override { properties.push_back(task.TaskIndex); }
  void PostToFrame(uint32_t msg) override { posted.push_back(msg); }
};

struct FakeLauncher : DesktopLauncher {
  std::vector<std::string> calls;
  bool StartProgram(const std::string& p, const std::string& a) override {
    calls.push_back("start " + p + " " + a);
    return true;
  }
  bool OpenWithDefault(const std::string& p) override {
    calls.push_back("open " + p);
    return true;
  }
  bool ShowInFolder(const std::string& p) override {
    calls.push_back("show " + p);
    return true;
  }
  bool OpenAddress(const std::string& a) override {
    calls.push_back("address " + a);
    return true;
  }
};

DataRecord& AddTask(DataModel& model, int32_t status, const std::string& name, const std::string& dir = "/tmp/") {
  return testsupport::AddListedTask(model, status, name, dir);
}

class ViewsTest : public ::testing::Test {
 protected:
  ViewsTest() { testsupport::OffscreenApp(); }

  // The list view showing `category`, rows selected by their task.
  CVideoListView& View(int category) {
    view_ = std::make_unique<CVideoListView>(model_, settings_, host_, launcher_);
    view_->resize(800, 400);
    view_->ShowCategory(category);
    return *view_;
  }
  void Select(std::initializer_list<int32_t> tasks) {
    QItemSelectionModel* sel = view_->ShownList()->selectionModel();
    sel->clearSelection();
    for (int32_t t : tasks) {
      int row = view_->ShownModel()->RowOf(t);
      sel->select(view_->ShownModel()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }

  DataModel model_;
  Settings settings_;
  FakeHost host_;
  FakeLauncher launcher_;
  testsupport::RecordingMessageBoxes boxes_;
  std::unique_ptr<CVideoListView> view_;
};

TEST_F(ViewsTest, NewestTaskIsOnTopAndEqualSortIndexKeepsModelOrder) {
  AddTask(model_, Paused, "old.flv");
  AddTask(model_, Paused, "new.flv");
  DataRecord& tie = AddTask(model_, Failed, "tie.flv");
  tie.SortIndex = 1;  // same as old.flv, later in the model
  TaskListModel m(kCategoryAll);
  m.Fill(model_);
  ASSERT_EQ(m.rowCount(), 3);
  EXPECT_EQ(m.CellText(0, 0), "new.flv");
  EXPECT_EQ(m.CellText(1, 0), "old.flv");
  EXPECT_EQ(m.CellText(2, 0), "tie.flv");
}

TEST_F(ViewsTest, ListsShowTheirStatuses) {
  for (int32_t s : {Failed, Downloading, Stopping, Paused, Retrying, Completed, DeletedFailed, DeletedPaused,
                    DeletedCompleted, New})
    AddTask(model_, s, "t" + std::to_string(s));
  const std::pair<int, int> expected[] = {{kCategoryAll, 6}, {kCategoryDownloading, 5}, {kCategoryCompleted, 1},
                                          {kCategoryDeleted, 3}};
  for (auto [category, rows] : expected) {
    TaskListModel m(category);
    m.Fill(model_);
    EXPECT_EQ(m.rowCount(), rows) << category;
  }
  TaskListModel downloading(kCategoryDownloading);
  downloading.Fill(model_);
  EXPECT_EQ(downloading.PictureAt(downloading.RowOf(3)), kPictureStopping);  // the Stopping task
}

TEST_F(ViewsTest, PerSecondRefreshOfARunningTaskOfUnknownSize) {
  const int32_t live = AddTask(model_, Downloading, "live.flv").TaskIndex;
  AddTask(model_, Paused, "idle.flv");
  SocketDownLoad worker;
  worker.totalSize = 0;
  worker.downloaded = 2048;
  worker.speed = 0;
  worker.startTick = 1000;
  TaskListModel m(kCategoryAll);
  m.Fill(model_);
  QSignalSpy changes(&m, &QAbstractItemModel::dataChanged);
  auto lookup = [&](int32_t index) { return index == live ? &worker : nullptr; };
  m.RefreshRunning(model_, lookup, 66000);
  const int row = m.RowOf(live);
  EXPECT_EQ(m.CellText(row, 1), "?");
  EXPECT_EQ(m.CellText(row, 2), "2.00 KB");
  EXPECT_EQ(m.CellText(row, 4), "0.00 KB/s");
  EXPECT_EQ(m.CellText(row, 5), "00:01:05");
  EXPECT_EQ(m.CellText(row, 6), "??:??:??");
  EXPECT_EQ(m.CellText(row, 7), "Receiving data");
  EXPECT_EQ(model_.FindTask(live)->TimeLeftText, "??:??:??");
  for (const QList<QVariant>& change : changes)
    EXPECT_EQ(change.at(0).toModelIndex().row(), row);  // the paused row is left alone

  // A second pass with the same counters changes no cell; a known size does.
  changes.clear();
  m.RefreshRunning(model_, lookup, 66000);
  EXPECT_EQ(changes.count(), 0);
  worker.totalSize = 4096;
  worker.speed = 1024;
  m.RefreshRunning(model_, lookup, 66000);
  EXPECT_EQ(m.CellText(row, 3), "50.00");
  EXPECT_EQ(m.CellText(row, 6), "00:00:02");
  EXPECT_EQ(changes.count(), 3);  // progress, speed and time left
  // The size cell shows the size the task took over in the pass before.
  m.RefreshRunning(model_, lookup, 66000);
  EXPECT_EQ(m.CellText(row, 1), "4.00 KB");
}

TEST_F(ViewsTest, CopyUrlOfThreeRowsEndsEachLineInCrLf) {
  for (const char* n : {"a.flv", "b.flv", "c.flv", "d.flv"}) AddTask(model_, Paused, n);
  View(kCategoryAll);
  Select({1, 2, 4});
  view_->CopyUrl();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            "http://example.test/d.flv\r\nhttp://example.test/b.flv\r\nhttp://example.test/a.flv\r\n");
}

TEST_F(ViewsTest, RightClickOnAnUnselectedRowSelectsOnlyThatRow) {
  for (const char* n : {"a.flv", "b.flv", "c.flv"}) AddTask(model_, Paused, n);
  View(kCategoryAll);
  Select({1, 2});
  QTreeView* list = view_->ShownList();
  list->show();
  const QPoint onC = list->visualRect(view_->ShownModel()->index(view_->ShownModel()->RowOf(3), 1)).center();
  std::unique_ptr<QMenu> menu(view_->PrepareContextMenu(onC));
  ASSERT_TRUE(menu);
  EXPECT_EQ(view_->SelectedRows(), std::vector<int32_t>{3});
  // On a selected row the selection stays.
  Select({1, 2});
  const QPoint onA = list->visualRect(view_->ShownModel()->index(view_->ShownModel()->RowOf(1), 1)).center();
  menu.reset(view_->PrepareContextMenu(onA));
  EXPECT_EQ(view_->SelectedRows().size(), 2u);
  // The menu of the All list, enabled for the selection (two paused rows).
  std::vector<std::pair<QString, bool>> items;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) items.emplace_back(a->text(), a->isEnabled());
  ASSERT_EQ(items.size(), 10u);
  EXPECT_EQ(items[0], std::make_pair(QString("Start"), true));
  EXPECT_EQ(items[1], std::make_pair(QString("Stop"), false));
  EXPECT_EQ(items[4], std::make_pair(QString("Download Again"), false));
  EXPECT_EQ(items[9], std::make_pair(QString("Properties ..."), true));
}

TEST_F(ViewsTest, TwoSelectedRowsShowTheGlobalLogAndNoPreview) {
  const int32_t done = AddTask(model_, Completed, "done.flv", "/videos/").TaskIndex;
  AddTask(model_, Paused, "p.flv");
  View(kCategoryAll);
  Select({done});
  ASSERT_FALSE(host_.previews.empty());
  EXPECT_EQ(host_.previews.back(), std::make_pair(std::string("/videos/done.flv"), done));
  EXPECT_EQ(host_.logs.back(), done);
  Select({1, 2});
  EXPECT_EQ(host_.logs.back(), -1);
  EXPECT_EQ(host_.previews.back(), std::make_pair(std::string(), -1));
}

TEST_F(ViewsTest, SwitchingCategoriesLeavesNoSelection) {
  AddTask(model_, Completed, "a.flv");
  AddTask(model_, Completed, "b.flv");
  View(kCategoryAll);
  Select({1, 2});
  view_->ShowCategory(kCategoryCompleted);
  EXPECT_TRUE(view_->SelectedRows().empty());
  Select({1});
  view_->ShowCategory(kCategoryAll);
  EXPECT_TRUE(view_->SelectedRows().empty());
  EXPECT_EQ(host_.logs.back(), -1);
}

TEST_F(ViewsTest, RefillKeepsTheSelectedTasks) {
  AddTask(model_, Paused, "a.flv");
  AddTask(model_, Paused, "b.flv");
  View(kCategoryAll);
  Select({1});
  AddTask(model_, Paused, "c.flv");  // lands on top, moving the rows down
  view_->FillCategoryList(kCategoryAll);
  EXPECT_EQ(view_->SelectedRows(), std::vector<int32_t>{1});
  EXPECT_EQ(view_->ShownModel()->rowCount(), 3);
}

TEST_F(ViewsTest, DoubleClickOpensACompletedTaskOnly) {
  testsupport::Sandbox box;
  box.WriteFile("clip.FLV", "FLV");
  AddTask(model_, Paused, "p.flv");
  AddTask(model_, Completed, "clip.FLV", box.dir());
  View(kCategoryAll);
  view_->DoubleClickRow(view_->ShownModel()->RowOf(1));
  EXPECT_TRUE(launcher_.calls.empty());
  Select({2});
  view_->DoubleClickRow(view_->ShownModel()->RowOf(2));
  ASSERT_EQ(launcher_.calls.size(), 1u);
  // The player from the program folder when it is there, else the desktop's choice.
  const std::string player = GetProgramDir() + "Pellumo";
  EXPECT_EQ(launcher_.calls[0], platform::FileExists(player) ? "start " + player + " " + box.path("clip.FLV")
                                                             : "open " + box.path("clip.FLV"));
}

TEST_F(ViewsTest, OpenFileChecksStatusExistenceAndExecutables) {
  testsupport::Sandbox box;
  box.WriteFile("setup.exe", "MZ");
  AddTask(model_, Completed, "gone.flv", box.dir());
  AddTask(model_, Completed, "setup.exe", box.dir());
  AddTask(model_, Paused, "half.flv", box.dir());
  View(kCategoryAll);
  Select({3});
  view_->OpenFile();
  Select({1});
  view_->OpenFile();
  Select({2});
  boxes_.answer = platform::IDNO;
  view_->OpenFile();
  EXPECT_TRUE(launcher_.calls.empty());
  boxes_.answer = platform::IDYES;
  view_->OpenFile();
  ASSERT_EQ(boxes_.texts.size(), 4u);
  EXPECT_EQ(boxes_.texts[0], "Error: Failed to open file.");
  EXPECT_EQ(boxes_.texts[1], "Error: The file does not exist.");
  EXPECT_EQ(boxes_.texts[2], "Confirm: Sure to open an execute file, that may damage your computer");
  EXPECT_EQ(launcher_.calls, std::vector<std::string>{"open " + box.path("setup.exe")});
}

TEST_F(ViewsTest, OpenFolderSelectsAnExistingFileElseOpensTheFolder) {
  testsupport::Sandbox box;
  box.WriteFile("here.flv", "FLV");
  AddTask(model_, Completed, "here.flv", box.dir());
  AddTask(model_, Paused, "notyet.flv", box.dir());
  View(kCategoryAll);
  Select({1});
  view_->OpenFolder();
  Select({2});
  view_->OpenFolder();
  EXPECT_EQ(launcher_.calls, (std::vector<std::string>{"show " + box.path("here.flv"), "open " + box.dir()}));
}

TEST_F(ViewsTest, KeysPostDeleteAndSelectAllToTheFrame) {
  AddTask(model_, Paused, "a.flv");
  View(kCategoryAll);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
  QApplication::sendEvent(view_->ShownList(), &del);
  QApplication::sendEvent(view_->ShownList(), &all);
  EXPECT_EQ(host_.posted, (std::vector<uint32_t>{2295, 2294}));
}

TEST_F(ViewsTest, TreeCountsAndCategories) {
  CVideoTreeView tree;
  EXPECT_EQ(tree.ItemText(kCategoryAll), "All Downloads (0)");
  EXPECT_EQ(tree.ItemText(kCategoryDownloading), "Downloading (0)");
  EXPECT_EQ(tree.ItemText(kCategoryCompleted), "Completed (0)");
  EXPECT_EQ(tree.ItemText(kCategoryDeleted), "Deleted (0)");
  AddTask(model_, Stopping, "s.flv");
  AddTask(model_, Completed, "c.flv");
  AddTask(model_, DeletedPaused, "d.flv");
  tree.SetCounts(model_.CountByCategory());
  EXPECT_EQ(tree.ItemText(kCategoryAll), "All Downloads (2)");
  EXPECT_EQ(tree.ItemText(kCategoryDownloading), "Downloading (1)");
  EXPECT_EQ(tree.ItemText(kCategoryDeleted), "Deleted (1)");
  QSignalSpy chosen(&tree, &CVideoTreeView::CategoryChosen);
  tree.SelectCategory(kCategoryDeleted);
  tree.SelectCategory(kCategoryAll);
  ASSERT_EQ(chosen.count(), 2);
  EXPECT_EQ(chosen.at(0).at(0).toInt(), kCategoryDeleted);
  EXPECT_EQ(tree.SelectedCategory(), kCategoryAll);
}

TEST_F(ViewsTest, LogPaneShowsTheSelectedTaskOrTheGlobalLog) {
  DataRecord& t = AddTask(model_, Paused, "a.flv");
  model_.AppendLog(t.TaskIndex, LOG_SUMMARY, 0, "Task line");
  model_.GlobalLog.push_back(LogEntry{LOG_SUMMARY, 1, "Global line", "2026-01-01 00:00:00", -1});
  CVideoInfoView info(model_, settings_);
  int32_t selected = t.TaskIndex;
  info.SetSelectedTaskSource([&] { return selected; });
  info.ShowLog(-1);
  ASSERT_EQ(info.topLevelItemCount(), 1);
  EXPECT_EQ(info.topLevelItem(0)->text(1), " Task line");
  info.ShowLog(99);  // not the selected task: ignored
  EXPECT_EQ(info.topLevelItem(0)->text(1), " Task line");
  selected = -1;
  info.ShowLog(-1);
  ASSERT_EQ(info.topLevelItemCount(), 1);
  EXPECT_EQ(info.topLevelItem(0)->text(1), " Global line");
  info.selectAll();
  EXPECT_EQ(info.SelectedText(), " 2026-01-01 00:00:00  Global line\r\n");
  EXPECT_TRUE(boxes_.texts.empty());

  // A line of another task in a task's log is left out and reported once.
  selected = t.TaskIndex;
  model_.FindTask(t.TaskIndex)->Log.push_back(LogEntry{LOG_SUMMARY, 0, "stray", "", 42});
  model_.FindTask(t.TaskIndex)->Log.push_back(LogEntry{LOG_SUMMARY, 0, "stray", "", 43});
  info.ShowLog(-1);
  EXPECT_EQ(info.topLevelItemCount(), 1);
  EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Error: Log task id error!"});
}

TEST_F(ViewsTest, LogMenuEnablingAndForms) {
  DataRecord& t = AddTask(model_, Paused, "a.flv");
  model_.AppendLog(t.TaskIndex, LOG_SUMMARY, 0, "Connecting");
  model_.AppendLog(t.TaskIndex, LOG_DETAIL, 0, "detail");
  CVideoInfoView info(model_, settings_);
  info.SetSelectedTaskSource([&] { return t.TaskIndex; });
  info.ShowLog(-1);
  EXPECT_EQ(info.topLevelItemCount(), 2);
  std::unique_ptr<QMenu> menu(info.BuildMenu(nullptr));
  EXPECT_FALSE(menu->actions()[0]->isEnabled());  // Copy: nothing selected
  EXPECT_TRUE(menu->actions()[1]->isEnabled());   // Clear
  info.SetDetailed(false);
  EXPECT_EQ(info.topLevelItemCount(), 1);
  EXPECT_EQ(settings_.DetailLog, 0);
  info.Clear();
  EXPECT_EQ(info.topLevelItemCount(), 0);
  EXPECT_TRUE(model_.FindTask(t.TaskIndex)->Log.empty());
  menu.reset(info.BuildMenu(nullptr));
  EXPECT_FALSE(menu->actions()[1]->isEnabled());
  EXPECT_FALSE(menu->actions()[2]->isEnabled());
}

}  // namespace
