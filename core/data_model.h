// The one process-wide task list. Used only on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/add_task.h"
#include "core/data_record.h"

// Tasks per category of the tree; "All" is downloading + completed.
struct CategoryCounts {
  int32_t downloading = 0;  // statuses 1 to 5
  int32_t completed = 0;    // status 6
  int32_t deleted = 0;      // statuses 7 to 9
};

// Tasks with a live transfer (Downloading or Retrying) and their speeds.
struct RunningSummary {
  int32_t count = 0;
  int64_t speed = 0;  // bytes per second, summed
};

class DataModel {
 public:
  virtual ~DataModel() = default;

  std::vector<LogEntry> GlobalLog;  // lines bound to no task
  std::vector<DataRecord> tasks;    // in file order, new tasks appended
  int32_t LastTaskIndex = 0;        // the last TaskIndex handed out
  int32_t LastSortIndex = 0;        // the last SortIndex handed out

  // Operations (FindTask, AddTask, RemoveTask, CountByCategory, ...) are
  // declared below this line by the task model.

  // The task with that TaskIndex, or null.
  DataRecord* FindTask(int32_t taskIndex);
  const DataRecord* FindTask(int32_t taskIndex) const;
  // The first task whose URL equals `url`, ignoring case, or null.
  DataRecord* FindTaskByUrl(const std::string& url);

  // Adds a task for `request` (null: the user asked to add one by hand, which
  // always shows the dialog). Returns the new TaskIndex, or -1 when the dialog
  // was cancelled, the address is already a task (dialog path), or a stream
  // address could not be split.
  int32_t AddTask(const TaskRequest* request, const AddTaskOptions& options, const AddTaskServices& services,
                  AskingWindow* asker = nullptr);

  // Erases the task; false when there is none.
  bool RemoveTask(int32_t taskIndex);

  CategoryCounts CountByCategory() const;
  RunningSummary RunningTotals() const;

  // The task's DownStatus and SortIndex, or -1 when there is no such task.
  int32_t GetDownStatus(int32_t taskIndex) const;
  int32_t GetSortIndex(int32_t taskIndex) const;

  // Appends a line to the task's log (its TaskIndex is set); false when there
  // is no such task.
  bool AppendLog(int32_t taskIndex, LogEntry entry);
  // The same with the time of now.
  bool AppendLog(int32_t taskIndex, int32_t kind, int32_t icon, const std::string& text);

  // SaveDir + FileName and SaveDir + TempFile.
  static std::string FinalPath(const DataRecord& task);
  static std::string TempPath(const DataRecord& task);
  // The final path with a separator between a SaveDir that lacks one and the name.
  static std::string FinalPathWithSeparator(const DataRecord& task);

  // Deletes both files of the task and resets it to a fresh Paused task with
  // a new SortIndex and an empty log, keeping address, folder and names.
  void ResetToBeginning(DataRecord& task);
  // Downloads a task again from the beginning, on request of another window:
  // only a Paused, Completed or deleted task qualifies. Resets it, starts it,
  // tells the asking window and refreshes the views. False when the task is
  // missing or busy.
  bool DownloadAgain(int32_t taskIndex, TaskRunnerHooks* runner, AskingWindow* asker = nullptr);
};
