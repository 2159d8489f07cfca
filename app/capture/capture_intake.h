// The main frame's handling of captured addresses: reads each block the
// capture side announces, keeps the capture history, and turns an item into
// a task when the popup (or the intake itself) or the history asks for it.
// User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/capture/capture_address.h"
#include "app/capture/capture_record.h"
#include "core/add_task.h"

class DataModel;
class Settings;

namespace platform {
class SoundPlayer;
class WindowServices;
}

namespace capture {

// The capture popups as the intake sees them.
class CapturePopups {
 public:
  virtual ~CapturePopups() = default;
  // True when a popup on screen offers exactly this address.
  virtual bool IsOnScreen(const std::string& address) const = 0;
  virtual void Queue(const PopupRequest& request) = 0;
  // Drops the request with this identifier if it still waits in the queue.
  virtual void RemoveWaiting(int32_t id) = 0;
  // The popup whose messages carry `param` as their asking window; null for
  // any other value (message parameters are not trusted as pointers).
  virtual AskingWindow* VouchedAsker(intptr_t param) const {
    (void)param;
    return nullptr;
  }
};

struct CaptureIntakeServices {
  DataModel* model = nullptr;
  const Settings* settings = nullptr;
  // How a request becomes a task: the frame's AddTask with its dialogs and
  // runner; the new TaskIndex or -1. Without it, the model's AddTask with
  // `addTaskServices`.
  std::function<int32_t(const TaskRequest& request, AskingWindow* asker)> addTask;
  const AddTaskServices* addTaskServices = nullptr;
  platform::WindowServices* frame = nullptr;  // where UM_CAPTURE_ADD goes
  uint32_t mainWindow = 0;                    // handle given to popup requests
  platform::SoundPlayer* sound = nullptr;     // none: silent
  CapturePopups* popups = nullptr;            // none: every capture is added at once
  std::function<CaptureTime()> now;           // local time; the system clock when empty
  // Copies a block of CaptureBlockLayout::kSize bytes; false when it is gone.
  // Shared memory (then removed) when empty.
  std::function<bool(uint32_t number, uint8_t* block)> readBlock;
  std::string specialHost = kDefaultSpecialStreamHost;
};

// The current local time.
CaptureTime LocalCaptureTime();

class CaptureIntake {
 public:
  explicit CaptureIntake(CaptureIntakeServices services) : s_(std::move(services)) {}

  // UM_CAPTURED. Ignores a block that is missing.
  void OnCaptured(uint32_t blockNumber);
  // UM_CAPTURE_ADD; true when a task was added.
  bool OnCaptureAdd(AskingWindow* asker, int32_t id);
  // UM_HISTORY_DOWNLOAD; true when a task was added.
  bool OnHistoryDownload(int32_t id);

  std::vector<CaptureRecord>& History() { return history_; }
  CaptureRecord* Find(int32_t id);
  void ClearHistory() { history_.clear(); }
  void SetPopups(CapturePopups* popups) { s_.popups = popups; }
  int32_t LastCaptureId() const { return lastId_; }

 private:
  bool AddAndForget(int32_t id, const TaskRequest& request, AskingWindow* asker);

  CaptureIntakeServices s_;
  std::vector<CaptureRecord> history_;  // oldest first
  int32_t lastId_ = 0;
};

}  // namespace capture
