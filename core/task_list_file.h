// Task.dat: the task list kept across runs, an XML file in the program folder.
//
//   <?xml version="1.0" encoding="UTF-8"?><Tasks><Task-0><TaskIndex>1</TaskIndex>
//   <DownStatus>4</DownStatus>...</Task-0><Task-1>...</Task-1></Tasks>
//
// Each task element holds 23 value elements in a fixed order, read by
// position: names below the root are not looked at.
#pragma once

#include <cstddef>
#include <string>

#include "core/data_model.h"

namespace platform {
class AtomicFileWriter;
}

inline constexpr char kTaskListFileName[] = "Task.dat";
// A copy of a Task.dat whose tasks could not all be read, made at loading
// ("Task.dat.unread", then "Task.dat.unread-2", ... when taken).
inline constexpr char kTaskListUnreadCopyName[] = "Task.dat.unread";
// Where a Task.dat the parser rejects is moved at loading ("Task.dat.damaged",
// then "Task.dat.damaged-2", ... when taken).
inline constexpr char kTaskListDamagedName[] = "Task.dat.damaged";
inline constexpr int kTaskListValueCount = 23;
// Longest value kept, in bytes; longer ones are cut at a character boundary.
inline constexpr size_t kTaskListMaxValue = 32766;

// Appends the tasks of `folder` + "Task.dat" to the model, numbering them
// from model.LastTaskIndex + 1 and raising LastSortIndex to the largest
// SortIndex read. Without `resume_task`, tasks that were downloading or
// retrying come back paused. A missing file loads nothing. Loading stops at
// a task element with fewer than 23 values; when that leaves tasks unread,
// or the root has another name, the file is first copied to a free
// "Task.dat.unread" name so the next save cannot lose them. Returns the
// number of tasks loaded, or -1 when the file cannot be read or parsed: the
// reason goes to the message box, nothing is loaded, and the file is moved
// to "Task.dat.damaged" so that it is kept as it was while the tasks of this
// run can still be saved.
int LoadTaskList(DataModel& model, const std::string& folder, bool resume_task);

// Writes the whole model to `folder` + "Task.dat" through a temporary file
// renamed over it: the file is always either the old or the new complete
// list. A file on disk that cannot be parsed (one that loading could not move
// aside) is reported and left alone.
// Returns false when nothing was written.
bool SaveTaskList(const DataModel& model, const std::string& folder);
bool SaveTaskList(const DataModel& model, const std::string& folder,
                  platform::AtomicFileWriter& writer);
