// What the task lists show: the categories, the columns of each list, the
// cell texts of a task, the status pictures, and the rules that depend only
// on the statuses of the selected rows (command enabling, double-click).
// Plain C++, so the rules are tested without a display.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/data_record.h"

class Settings;

// The lists of the task list view, and the tree's item data.
enum TaskCategory : int { kCategoryAll = 1, kCategoryDownloading = 2, kCategoryCompleted = 3, kCategoryDeleted = 4 };

// Status pictures, by DownStatus.
enum StatusPicture : int { kPictureFailed = 0, kPictureDownloading = 1, kPicturePaused = 2, kPictureFinished = 3,
                           kPictureStopping = 4, kPictureNone = -1 };

inline constexpr int kMaxColumns = 9;
using RowCells = std::array<std::string, kMaxColumns>;

enum class CellAlign { Left, Right, Centre };

struct ColumnInfo {
  const char* header;
  int width;
  CellAlign align;
};

// The columns of a list, left to right.
std::vector<ColumnInfo> CategoryColumns(int category);
// The column that holds the address.
int UrlColumn(int category);
// The column drawn as a progress bar, or -1.
int ProgressColumn(int category);

bool StatusInCategory(int32_t status, int category);
// The list a task is shown in by "show task": Downloading, Completed, Deleted or All.
int CategoryForShowTask(int32_t status);
int PictureOfStatus(int32_t status);

// A size cell: FormatSize of the count (a negative one, only ever read from
// a damaged file, as 0); SizeOrUnknown gives "?" for 0.
std::string SizeText(int64_t bytes);
std::string SizeOrUnknown(int64_t bytes);

// Cell texts of a task in a list of that category.
RowCells CellsOf(const DataRecord& task, int category);

// Enabling of the list commands, given the statuses of the selected rows
// (-1 for a row whose task is gone).
bool TaskCommandEnabled(int commandId, const std::vector<int32_t>& selectedStatuses);

enum class DoubleClickAction { Nothing, OpenFile, Properties };
DoubleClickAction DoubleClickActionFor(int category, int32_t status, const Settings& settings);

// The addresses, each followed by CR LF, in the order given.
std::string UrlLines(const std::vector<std::string>& urls);
