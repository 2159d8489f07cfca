// What AddTask needs from the rest of the program: the dialogs, the task
// runner, the stream-address parser and the window that asked. Core sees them
// only through these interfaces; the program wires the real ones.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/data_record.h"

// The two settings AddTask reads (ShowTaskWnd and SavePath of Settings).
struct AddTaskOptions {
  bool ShowTaskWnd = false;  // show the new-download dialog before downloading
  std::string SavePath;      // save folder, ending in the path separator
};

// The new-download dialog in new mode.
class NewDownloadDialog {
 public:
  virtual ~NewDownloadDialog() = default;
  // `incoming` is the request it was opened with, or none ("Manually
  // DownLoad"). `result` arrives as a copy of it (or empty) and leaves with
  // what the user confirmed: URL, save folder, file name, temporary name,
  // start flag, and Referer and Comment when given. False: Cancel.
  virtual bool Show(const TaskRequest* incoming, TaskRequest& result) = 0;
};

// The task-existed dialog, shown instead of adding a duplicate address.
class TaskExistedDialog {
 public:
  virtual ~TaskExistedDialog() = default;
  virtual void Show(const std::string& url, int32_t existingTaskIndex) = 0;
};

// The task runner and the views around the task list.
class TaskRunnerHooks {
 public:
  virtual ~TaskRunnerHooks() = default;
  // Recount the category tree and refill the visible list.
  virtual void RefreshViews() = 0;
  // Start a worker for the task; does nothing unless startFlag is 1.
  virtual void StartTask(int32_t taskIndex, uint8_t startFlag) = 0;
};

// The window that asked for a task (a capture popup): it is sent
// UM_TASK_ADDED (2286) once the task is in the list.
class AskingWindow {
 public:
  virtual ~AskingWindow() = default;
  virtual void SendTaskAdded() = 0;
};

// Splits an rtmp:// or rtmpt:// address into host, play path and application
// (the program passes the RTMP address parser). False refuses the address.
using StreamAddressSplitter =
    std::function<bool(const std::string& url, std::string& host, std::string& playPath, std::string& app)>;

// Everything AddTask calls out to. Pointers may be null: no dialog means a
// request that needs one is refused, no runner means nothing is refreshed or
// started, no splitter refuses stream addresses.
struct AddTaskServices {
  NewDownloadDialog* newDownload = nullptr;
  TaskExistedDialog* taskExisted = nullptr;
  TaskRunnerHooks* runner = nullptr;
  StreamAddressSplitter splitStreamAddress;
  // Seed of the temporary-name generator; the time in seconds when empty.
  std::function<uint32_t()> tempNameSeed;
};
