#include "app/download/log_rows.h"

#include <utility>

#include "core/ansi_text.h"

namespace {

void AddRow(std::vector<LogRow>& rows, const LogEntry& e, const std::string& text) {
  if (text.empty()) return;
  std::string time = " ", shown = " ";
  time += e.time;
  shown += TrimBlanks(text);
  rows.push_back(LogRow{e.icon, std::move(time), std::move(shown)});
}

}  // namespace

std::vector<LogRow> LogRowsOf(const std::vector<LogEntry>& log, int32_t owner, bool detailed,
                              int* foreignEntries) {
  std::vector<LogRow> rows;
  int foreign = 0;
  for (const LogEntry& e : log) {
    if (e.TaskIndex != owner) {
      ++foreign;
      continue;
    }
    if (e.kind == LOG_SUMMARY) {
      AddRow(rows, e, e.text);
    } else if (!detailed) {
      continue;
    } else if (e.kind == LOG_REQUEST) {
      // One row per line that ends in CR LF; a last part without one is cut off.
      size_t start = 0;
      for (size_t end; (end = e.text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = TrimBlanks(std::string_view(e.text).substr(start, end - start));
        AddRow(rows, e, line);
      }
    } else {
      AddRow(rows, e, TrimBlanks(e.text));
    }
  }
  if (foreignEntries) *foreignEntries = foreign;
  return rows;
}
