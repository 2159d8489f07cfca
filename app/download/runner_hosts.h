// What the task runner asks of the windows around it. The task list view,
// the dialogs and the notification popups implement these; tests and the
// command-line tool use small stand-ins.
#pragma once

#include <cstdint>
#include <vector>

// The list the user sees: its rows, its selection, and how to redraw it.
class VisibleList {
 public:
  virtual ~VisibleList() = default;
  virtual std::vector<int32_t> Rows() const = 0;          // TaskIndex per row, top to bottom
  virtual std::vector<int32_t> SelectedRows() const = 0;  // in row order
  virtual bool IsDeletedList() const = 0;
  virtual void RefreshRow(int32_t taskIndex) = 0;
  virtual void RefreshAll() = 0;  // tree counts and the visible list
  // The log view shows this task's log again when it is the selected task.
  virtual void ShowLogIfSelected(int32_t taskIndex) = 0;
  virtual void ClearPreview() = 0;
};

// The permanent-delete confirmation of the Deleted list.
class DeleteConfirmation {
 public:
  virtual ~DeleteConfirmation() = default;
  // False unless OK was chosen; `alsoDeleteFiles` is the check box.
  virtual bool Confirm(bool& alsoDeleteFiles) = 0;
};

// Raised for every completed task: the completion popup and the
// media-information lookup.
class CompletionNotice {
 public:
  virtual ~CompletionNotice() = default;
  virtual void OnTaskCompleted(int32_t taskIndex) = 0;
};
