// The log pane, bottom right: the log of the task selected in the task list
// (or the global log when none or several are selected), in the simple or
// the detailed form, with its small context menu.
#pragma once

#include <QTreeWidget>

#include <cstdint>
#include <functional>

class DataModel;
class Settings;
class QMenu;

class CVideoInfoView : public QTreeWidget {
  Q_OBJECT
 public:
  CVideoInfoView(DataModel& model, Settings& settings, QWidget* parent = nullptr);

  // The task the task list reports as selected (-1: none or several).
  void SetSelectedTaskSource(std::function<int32_t()> source) { selectedTask_ = std::move(source); }

  // Shows the log of `taskIndex`; -1 means the selected task. A request for
  // a task other than the selected one is ignored.
  void ShowLog(int32_t taskIndex);

  // Commands of the "Information" menu (32861 to 32865).
  void Copy();
  void Clear();
  void SelectAllRows();
  void SetDetailed(bool detailed);

  // The menu as it would open now: its actions carry the command numbers.
  QMenu* BuildMenu(QWidget* parent);
  // The text Copy puts on the clipboard.
  QString SelectedText() const;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  DataModel& model_;
  Settings& settings_;
  std::function<int32_t()> selectedTask_;
};
