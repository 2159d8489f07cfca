// The task list view, top right: four lists (All, Downloading, Completed,
// Deleted) of which one is shown, on Qt's model/view. It refreshes the
// running rows once a second, reports its selection to the log and preview
// panes, and carries out the list commands that are not state changes
// (open, open folder, copy addresses, properties); the state changes go to
// the task runner.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/download/runner_hosts.h"

class DataModel;
class DataRecord;
class Settings;
class TaskRunner;
class TaskListModel;
class DesktopLauncher;
class QMenu;
class QStackedLayout;
class QTreeView;

// What the list view asks of the frame around it.
class ListViewHost {
 public:
  virtual ~ListViewHost() = default;
  virtual void SelectTreeCategory(int category) = 0;
  virtual void ShowLog(int32_t taskIndex) = 0;
  virtual void PreviewFile(const std::string& path, int32_t taskIndex) = 0;
  // Recount the tree and refill the shown list.
  virtual void RefreshViews() = 0;
  // The new-download dialog, read-only, for the task.
  virtual void ShowProperties(const DataRecord& task) = 0;
  // Delete pressed (UM_DELETE_SELECTED) and Ctrl+A (UM_SELECT_ALL_TASKS).
  virtual void PostToFrame(uint32_t msg) = 0;
};

class CVideoListView : public QWidget, public VisibleList {
  Q_OBJECT
 public:
  CVideoListView(DataModel& model, Settings& settings, ListViewHost& host, DesktopLauncher& launcher,
                 QWidget* parent = nullptr);
  ~CVideoListView() override;

  void SetRunner(TaskRunner* runner) { runner_ = runner; }

  // Hides the other lists, fills this one, clears its selection and shows it.
  void ShowCategory(int category);
  int ShownCategory() const { return shown_; }
  // Refills a list from the model, keeping its selected and focused tasks.
  void FillCategoryList(int category);
  // The per-second pass over the running rows of the shown list.
  void RefreshRunning(uint32_t nowMs);
  // Selects the category of the task's status and exactly that task's row.
  void ShowTask(int32_t taskIndex);
  // Selects exactly this task's row in the shown list; false when it has none.
  bool SelectTask(int32_t taskIndex);
  void SelectAllTasks();
  // Sets the Dimension and Duration cells when the Completed list shows the task.
  void UpdateMediaInfo(int32_t taskIndex);

  // The one selected task, or -1 for none or several.
  int32_t SelectedTask() const;
  std::vector<int32_t> SelectedStatuses() const;
  bool CommandEnabled(int commandId) const;
  // Forwarded commands: 32775-32784 and 32854.
  void OnCommand(int commandId);

  void OpenFile();
  void OpenFolder();
  void CopyUrl();
  void Properties();
  void DoubleClickRow(int row);
  // Right click at a point of the shown list's viewport: applies the
  // selection rule and returns the category's menu (null: no menu).
  QMenu* PrepareContextMenu(const QPoint& viewportPos);
  // The category's context menu with its items enabled for the selection.
  QMenu* BuildMenu(int category, QWidget* parent);

  QTreeView* ListWidget(int category) const;
  TaskListModel* ListModel(int category) const;
  QTreeView* ShownList() const { return ListWidget(shown_); }
  TaskListModel* ShownModel() const { return ListModel(shown_); }

  // VisibleList, for the task runner.
  std::vector<int32_t> Rows() const override;
  std::vector<int32_t> SelectedRows() const override;
  bool IsDeletedList() const override;
  void RefreshRow(int32_t taskIndex) override;
  void RefreshAll() override;
  void ShowLogIfSelected(int32_t taskIndex) override;
  void ClearPreview() override;

  // Runs the selection handling: log pane and preview.
  void SelectionChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int32_t TaskAtSelectionMark() const;
  std::vector<int> SelectedRowNumbers() const;

  DataModel& model_;
  Settings& settings_;
  ListViewHost& host_;
  DesktopLauncher& launcher_;
  TaskRunner* runner_ = nullptr;
  QStackedLayout* stack_ = nullptr;
  std::array<QTreeView*, 4> lists_{};
  std::array<TaskListModel*, 4> models_{};
  int shown_ = 2;
  bool filling_ = false;
};
