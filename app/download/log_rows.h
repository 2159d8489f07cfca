// The rows the log pane shows for a list of log entries, in the simple or
// the detailed form. Plain C++, tested without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/data_record.h"

struct LogRow {
  int32_t icon = 0;
  std::string time;  // " " + entry time
  std::string text;  // " " + text trimmed of blanks
};

// `owner` is the TaskIndex the entries must carry (-1 for the global log);
// entries of another task are left out and counted in *foreignEntries.
std::vector<LogRow> LogRowsOf(const std::vector<LogEntry>& log, int32_t owner, bool detailed,
                              int* foreignEntries);
