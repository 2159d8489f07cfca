// The one process-wide task list. Used only on the user-interface thread.
#pragma once

#include <cstdint>
#include <vector>

#include "core/data_record.h"

class DataModel {
 public:
  virtual ~DataModel() = default;

  std::vector<LogEntry> GlobalLog;  // lines bound to no task
  std::vector<DataRecord> tasks;    // in file order, new tasks appended
  int32_t LastTaskIndex = 0;        // the last TaskIndex handed out
  int32_t LastSortIndex = 0;        // the last SortIndex handed out

  // Operations (FindTask, AddTask, RemoveTask, CountByCategory, ...) are
  // declared below this line by the task model.
};
