#include "app/shell/task_list_saver.h"

#include <utility>

#include "core/data_model.h"
#include "core/task_list_file.h"
#include "platform/alt_signal_stack.h"

TaskListSaver::~TaskListSaver() { Wait(); }

std::unique_ptr<DataModel> TaskListSaver::Snapshot(DataModel& model) {
  auto copy = std::make_unique<DataModel>();
  copy->LastTaskIndex = model.LastTaskIndex;
  copy->LastSortIndex = model.LastSortIndex;
  copy->tasks.reserve(model.tasks.size());
  for (DataRecord& t : model.tasks) {
    // The log is not part of the file: move it aside instead of copying it.
    std::vector<LogEntry> log = std::move(t.Log);
    t.Log.clear();
    copy->tasks.push_back(t);
    t.Log = std::move(log);
  }
  return copy;
}

void TaskListSaver::SaveInBackground(DataModel& model) {
  std::shared_ptr<DataModel> copy = Snapshot(model);
  Wait();
  writer_ = std::thread([copy, folder = folder_] {
    const platform::AltSignalStack crashStack;
    SaveTaskList(*copy, folder);
  });
}

bool TaskListSaver::SaveNow(const DataModel& model) {
  Wait();
  return SaveTaskList(model, folder_);
}

void TaskListSaver::Wait() {
  if (writer_.joinable()) writer_.join();
}
