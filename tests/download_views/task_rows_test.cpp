#include <gtest/gtest.h>

#include "app/download/log_rows.h"
#include "app/download/task_rows.h"
#include "core/settings.h"

namespace {

enum { kStart = 32775, kStop = 32776, kStartAll = 32777, kDownloadAgain = 32779, kDelete = 32780,
       kOpenFile = 32782, kRestore = 32854 };

TEST(CommandEnabling, FollowsTheStatusesOfTheSelectedRows) {
  struct Case {
    std::vector<int32_t> selected;
    int command;
    bool enabled;
  };
  const Case cases[] = {
      {{}, kStart, false},
      {{Downloading, Paused}, kStart, true},
      {{Failed}, kStart, true},
      {{Completed, Retrying}, kStop, true},
      {{Paused, Stopping}, kStop, false},
      {{}, kDownloadAgain, false},
      {{Completed, DeletedPaused, DeletedCompleted}, kDownloadAgain, true},
      {{Completed, Paused}, kDownloadAgain, false},
      {{Completed, -1}, kDownloadAgain, false},  // a row whose task is gone does not match
      {{Downloading, DeletedCompleted}, kOpenFile, true},
      {{DeletedFailed}, kOpenFile, false},
      {{}, kDelete, false},
      {{-1}, kDelete, true},
      {{}, kRestore, false},
      {{}, kStartAll, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TaskCommandEnabled(c.command, c.selected), c.enabled)
        << "command " << c.command << " with " << c.selected.size() << " rows";
  }
}

TEST(DoubleClick, ActsByListAndSetting) {
  Settings defaults;
  struct Case {
    int category;
    int32_t status;
    int32_t incomplete, completed, deleted;
    DoubleClickAction action;
  };
  using A = DoubleClickAction;
  const Case cases[] = {
      {kCategoryAll, Paused, 1, 1, 1, A::Nothing},
      {kCategoryAll, Completed, 1, 1, 1, A::OpenFile},
      {kCategoryAll, Completed, 1, 2, 1, A::Properties},
      {kCategoryAll, Failed, 2, 1, 1, A::Properties},
      {kCategoryAll, Completed, 0, 1, 1, A::Nothing},
      {kCategoryDownloading, Paused, 2, 2, 2, A::Nothing},
      {kCategoryCompleted, Completed, 1, 1, 1, A::OpenFile},
      {kCategoryCompleted, Completed, 1, 2, 1, A::Properties},
      {kCategoryCompleted, Completed, 1, 3, 1, A::Nothing},
      {kCategoryDeleted, DeletedPaused, 1, 1, 1, A::OpenFile},
      {kCategoryDeleted, DeletedPaused, 1, 1, 2, A::Properties},
  };
  for (const Case& c : cases) {
    Settings s;
    s.DblClickIncomplete = c.incomplete;
    s.DblClickCompleted = c.completed;
    s.DblClickDeleted = c.deleted;
    EXPECT_EQ(DoubleClickActionFor(c.category, c.status, s), c.action)
        << "list " << c.category << " status " << c.status;
  }
  EXPECT_EQ(DoubleClickActionFor(kCategoryAll, Downloading, defaults), A::Nothing);
}

TEST(TaskRows, CompletedTaskWithoutMediaInformation) {
  DataRecord t;
  t.FileName = "a.flv";
  t.FileBytes = 0;
  t.DownStatus = Completed;
  RowCells c = CellsOf(t, kCategoryCompleted);
  EXPECT_EQ(c[1], "0 Byte");  // a size, never "?"
  EXPECT_EQ(c[2], "");
  EXPECT_EQ(CellsOf(t, kCategoryAll)[1], "?");
  EXPECT_EQ(CellsOf(t, kCategoryDeleted)[1], "?");
  t.Width = 640;
  t.Height = 360;
  EXPECT_EQ(CellsOf(t, kCategoryCompleted)[2], "640 x 360");
}

TEST(TaskRows, SizeCellsPastThirtyTwoBits) {
  struct Case {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {INT32_MAX, "1.99 GB"},
      {int64_t{1} << 31, "2.00 GB"},
      {(int64_t{1} << 32) + 1, "4.00 GB"},
      {int64_t{4608} << 20, "4.50 GB"},
      {-1, "0 Byte"},  // only a damaged file holds one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    DataRecord t;
    t.FileBytes = c.bytes;
    t.DownBytes = c.bytes;
    EXPECT_EQ(CellsOf(t, kCategoryAll)[1], c.text);
    EXPECT_EQ(CellsOf(t, kCategoryAll)[2], c.text);
    EXPECT_EQ(CellsOf(t, kCategoryDeleted)[2], c.text);
    EXPECT_EQ(CellsOf(t, kCategoryCompleted)[1], c.text);
  }
}

TEST(TaskRows, StatusPictures) {
  const std::pair<int32_t, int> cases[] = {{Failed, 0}, {DeletedFailed, 0}, {Downloading, 1}, {Retrying, 1},
                                           {Paused, 2}, {DeletedPaused, 2}, {Completed, 3},
                                           {DeletedCompleted, 3}, {Stopping, 4}};
  for (auto [status, picture] : cases) EXPECT_EQ(PictureOfStatus(status), picture) << status;
}

LogEntry Entry(int32_t kind, const std::string& text, int32_t task = 7) {
  LogEntry e;
  e.kind = kind;
  e.text = text;
  e.time = "2026-01-02 03:04:05";
  e.TaskIndex = task;
  e.icon = 1;
  return e;
}

TEST(LogRows, RequestTextIsSplitAtLineBreaksInTheDetailedLog) {
  std::vector<LogEntry> log = {Entry(LOG_REQUEST, "GET /a.flv HTTP/1.1\r\nHost: x\r\n\r\n")};
  int foreign = 0;
  std::vector<LogRow> rows = LogRowsOf(log, 7, true, &foreign);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].text, " GET /a.flv HTTP/1.1");
  EXPECT_EQ(rows[1].text, " Host: x");
  EXPECT_EQ(rows[0].time, " 2026-01-02 03:04:05");
  EXPECT_TRUE(LogRowsOf(log, 7, false, &foreign).empty());
  // A last part without a line break is not shown.
  EXPECT_EQ(LogRowsOf({Entry(LOG_REQUEST, "GET / HTTP/1.1\r\nHost: x")}, 7, true, &foreign).size(), 1u);
}

TEST(LogRows, KindsAndBlankTexts) {
  std::vector<LogEntry> log = {Entry(LOG_SUMMARY, "  Connecting  "), Entry(LOG_RESPONSE, "HTTP/1.1 200 OK\r\n"),
                               Entry(LOG_DETAIL, "   "), Entry(LOG_SUMMARY, ""), Entry(LOG_SUMMARY, "other", 8)};
  int foreign = 0;
  std::vector<LogRow> detailed = LogRowsOf(log, 7, true, &foreign);
  ASSERT_EQ(detailed.size(), 2u);
  EXPECT_EQ(detailed[0].text, " Connecting");
  EXPECT_EQ(detailed[1].text, " HTTP/1.1 200 OK");
  EXPECT_EQ(foreign, 1);
  EXPECT_EQ(LogRowsOf(log, 7, false, &foreign).size(), 1u);
}

}  // namespace
