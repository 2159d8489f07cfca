// Writes Task.dat without holding up the user-interface thread: the tasks
// are copied there (their logs are never written, so they are left out of
// the copy) and the document is built and written on a thread of its own.
#pragma once

#include <memory>
#include <string>
#include <thread>

class DataModel;

class TaskListSaver {
 public:
  explicit TaskListSaver(std::string folder) : folder_(std::move(folder)) {}
  ~TaskListSaver();
  TaskListSaver(const TaskListSaver&) = delete;
  TaskListSaver& operator=(const TaskListSaver&) = delete;

  // Copies the tasks and writes them in the background; a write still
  // running is waited for first, so writes land in order.
  void SaveInBackground(DataModel& model);
  // Waits for a background write, then writes on this thread; the result of this write.
  bool SaveNow(const DataModel& model);
  // Waits for the background write, if any.
  void Wait();

  // The copy SaveInBackground takes (tasks without their logs).
  static std::unique_ptr<DataModel> Snapshot(DataModel& model);

 private:
  std::string folder_;
  std::thread writer_;
};
