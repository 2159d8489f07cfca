// Where the main frame hands work to the features built around it: capture
// and monitoring, the small dialogs, the popups, the preview pane and the
// completion notice. Each slot has a plain default (empty slot = the frame's
// own fallback, noted per slot), so the frame runs before the features exist.
// main() fills one FrameHooks through the features' install functions and
// gives it to the application before the frame is created.
//
// Everything here is called on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/message_box.h"
#include "platform/window_services.h"

class QWidget;
class DataModel;
class Settings;
class TaskRunner;
class AskingWindow;
class TaskExistedDialog;
class DeleteConfirmation;
struct TaskRequest;

namespace shell {

// The frame's private window messages, and UM_CAPTURED from the capture
// library. The frame handles UM_TRAY_NOTIFY, UM_OPEN_TASK_FOLDER,
// UM_DOWNLOAD_AGAIN, UM_SHOW_TASK, UM_SELECT_ALL_TASKS and
// UM_DELETE_SELECTED itself; every other number goes to FrameHooks::messages.
enum FrameMessage : uint32_t {
  UM_CAPTURED = 4024,
  UM_CAPTURE_ADD = 2278,
  UM_TRAY_NOTIFY = 2279,
  UM_OPEN_TASK_FOLDER = 2281,
  UM_POPUP_CLOSED = 2284,
  UM_POPUP_THUMBNAIL = 2285,
  UM_TASK_ADDED = 2286,
  UM_DOWNLOAD_AGAIN = 2287,
  UM_SHOW_TASK = 2288,
  UM_SELECT_ALL_TASKS = 2294,
  UM_DELETE_SELECTED = 2295,
  UM_MEDIA_SIZE = 2296,
  UM_MEDIA_DURATION = 2297,
  UM_OPTIONS_CLOSED = 2298,
  UM_HISTORY_ATTACH = 2299,
  UM_HISTORY_DOWNLOAD = 2300,
  UM_HISTORY_CLEAR = 2301,
};

// The frame's window timers.
enum FrameTimer : int {
  kTickTimer = 1,       // 1000 ms: rows, status bar, tray tip, Task.dat every 301st tick
  kPopupTimer = 3,      // 30 ms: capture and completion popups
  kWatchdogTimer = 4,   // RetryDelay s: the runner's stall watchdog
  kTutorialTimer = 5,   // 1000 ms once, only with ShowTutorial
  kHintProbeTimer = 6,  // 500 ms: shows the monitor hint when the indicator is visible
  kHintHideTimer = 7,   // 5000 ms once: hides the monitor hint
};

// Command numbers of the menus and the toolbar.
enum FrameCommand : int {
  ID_TASK_START = 32775,
  ID_TASK_STOP = 32776,
  ID_TASK_START_ALL = 32777,
  ID_TASK_STOP_ALL = 32778,
  ID_TASK_DOWNLOAD_AGAIN = 32779,
  ID_TASK_DELETE = 32780,
  ID_TASK_OPEN_FOLDER = 32781,
  ID_TASK_OPEN_FILE = 32782,
  ID_TASK_COPY_URL = 32783,
  ID_TASK_PROPERTIES = 32784,
  ID_TASK_RESTORE = 32854,
  ID_APP_EXIT = 32785,
  ID_TRAY_EXIT = 32881,
  ID_SETTINGS = 32772,
  ID_CAPTURE_HISTORY = 32788,
  ID_HELP_TUTORIAL = 32789,
  ID_OPEN_TAMBOREL = 32869,
  ID_MONITOR_TOGGLE = 32880,
  ID_MONITOR_ENABLE = 32883,
  ID_MONITOR_DISABLE = 32884,
  ID_CHECK_UPDATE = 32887,
  ID_MANUAL_DOWNLOAD = 57600,
  ID_APP_ABOUT = 57664,
  ID_LOG_COPY = 32861,
  ID_LOG_CLEAR = 32862,
  ID_LOG_SELECT_ALL = 32863,
  ID_LOG_SIMPLE = 32864,
  ID_LOG_DETAIL = 32865,
};

// Close actions (CloseAction, CloseActionLastTimeUsed).
enum CloseActionValue : int32_t { kCloseAsk = 0, kCloseToTray = 1, kCloseProgram = 2 };

// What the frame offers to the features hooked into it.
class FrameAccess {
 public:
  virtual ~FrameAccess() = default;
  virtual QWidget* Window() = 0;
  virtual DataModel& Model() = 0;
  virtual Settings& AppSettings() = 0;
  virtual TaskRunner& Runner() = 0;
  // Posting here reaches the frame's message handler (FrameMessage numbers).
  virtual platform::WindowServices& Services() = 0;
  // The frame's handle for other processes (the message port), 0 without one.
  virtual uint32_t WindowHandle() const = 0;
  // Recounts the tree and refills the shown list.
  virtual void RefreshViews() = 0;
  // AddTask with the frame's dialogs and runner; the new TaskIndex or -1.
  virtual int32_t AddTask(const TaskRequest* request, AskingWindow* asker) = 0;
  virtual void PreviewFile(const std::string& path, int32_t taskIndex) = 0;
  virtual void SetMonitoring(bool on) = 0;
  // Shows the window (restored) and brings it to the front.
  virtual void ShowAndRaise() = 0;
  // Marks the task's row the way UM_SHOW_TASK does.
  virtual void ShowTask(int32_t taskIndex) = 0;
};

using MessageHook = std::function<void(FrameAccess&, platform::MessageParam wParam, platform::MessageParam lParam)>;

struct FrameHooks {
  // --- capture and monitoring ---
  // Frame creation, after the tree is filled: load the capture library and
  // fill the monitor map (default: nothing).
  std::function<void(FrameAccess&)> startMonitor;
  // The monitoring switch changed (default: nothing).
  std::function<void(FrameAccess&, bool on)> monitoringChanged;
  // Exit step 2: clear the monitoring flag (default: nothing).
  std::function<void(FrameAccess&)> stopMonitor;
  // Frame creation, last step: start the media-information worker; exit
  // step 3: stop it within 5000 ms (defaults: nothing).
  std::function<void(FrameAccess&)> startMediaInfo;
  std::function<void(FrameAccess&)> stopMediaInfo;
  // A task completed: queue its media-information lookup (default: nothing).
  std::function<void(FrameAccess&, int32_t taskIndex)> queueMediaInfo;
  // Command 32788 (default: nothing).
  std::function<void(FrameAccess&)> openCaptureHistory;
  // Exit step 4/5: close the history dialog, free thumbnails (default: nothing).
  std::function<void(FrameAccess&)> releaseCapture;
  // UM_SHOW_TASK and UM_DOWNLOAD_AGAIN from a capture popup: the address of
  // the capture record with this identifier, empty when there is none
  // (default: none, so such requests do nothing).
  std::function<std::string(FrameAccess&, int32_t captureId)> captureAddress;
  // Sends UM_TASK_ADDED to the asking popup (first parameter of the request).
  std::function<void(FrameAccess&, platform::MessageParam askingWindow)> sendTaskAdded;

  // Messages of the frame's table by number: UM_CAPTURED, UM_CAPTURE_ADD,
  // UM_POPUP_CLOSED, UM_POPUP_THUMBNAIL, UM_MEDIA_SIZE, UM_MEDIA_DURATION,
  // UM_OPTIONS_CLOSED, UM_HISTORY_*. Unhooked numbers are dropped. Entries
  // for numbers the frame handles itself are ignored.
  std::map<uint32_t, MessageHook> messages;

  // --- small dialogs ---
  // The program's message box (default: a plain one with the same captions
  // and buttons). The application installs it as platform's MessageBoxSink
  // behind a guard that queues calls made off the user-interface thread.
  platform::MessageBoxSink* messageBox = nullptr;
  // Close-action question: returns kCloseToTray or kCloseProgram, or -1 for
  // Cancel; `dontAskAgain` is the check box (default: a plain question).
  std::function<int(QWidget* parent, int32_t preset, bool* dontAskAgain)> askCloseAction;
  // Command 32772 (default: nothing).
  std::function<void(FrameAccess&)> openOptions;
  // Command 57664 (default: a plain about box).
  std::function<void(QWidget* parent)> showAbout;
  // Timer 5: the tutorial; true when "do not show again" was ticked
  // (default: nothing, false).
  std::function<bool(QWidget* parent)> showTutorial;
  // AddTask's duplicate-address notice (default: none, the address is refused silently).
  TaskExistedDialog* taskExisted = nullptr;
  // The Deleted list's permanent-delete question (default: a plain question).
  DeleteConfirmation* deleteConfirmation = nullptr;
  // Exit step 4: close the options dialog (default: nothing).
  std::function<void(FrameAccess&)> closeOptions;

  // --- popups, preview, completion ---
  // Timer 3: lay out and show the capture and completion popups (default: nothing).
  std::function<void(FrameAccess&)> popupPass;
  // A task completed: queue the completion popup and sound (default: nothing).
  std::function<void(FrameAccess&, int32_t taskIndex)> completionNotice;
  // The preview pane under the tree; null keeps the lower left row empty
  // (default: an empty pane).
  std::function<QWidget*(FrameAccess&, QWidget* parent)> createPreviewPane;
  // PreviewFile(path, task): empty path hides the preview (default: nothing).
  std::function<void(FrameAccess&, const std::string& path, int32_t taskIndex)> previewFile;
};

}  // namespace shell
