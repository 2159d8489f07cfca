// The frame's popup queues and the pass its 30-ms timer runs: capture offers
// and completion notices wait here until the stack has room for them.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/capture/popups/popup_request.h"
#include "app/capture/popups/popup_stack.h"

class Settings;

class PopupCenter {
 public:
  // True when some task already has this address (ignoring case).
  using TaskExistsLookup = std::function<bool(const std::string& address)>;

  PopupCenter(const Settings& settings, PopupStack& stack, TaskExistsLookup taskExists);

  void QueueCapture(const PopupRequest& request) { captureQueue_.push_back(request); }
  void QueueCompletion(const PopupRequest& request) { completionQueue_.push_back(request); }

  // One tick of the timer: the capture step, then the completion step while
  // completion popups are on (so popups move twice as fast then).
  void Tick();

  // The intake drops a capture whose address is on screen (exact comparison).
  bool IsShownAddress(const std::string& address) const;
  // A capture popup has shrunk away: its first entry leaves the shown list.
  void OnPopupClosed(int32_t requestId);
  // The history downloaded a capture: its offer no longer waits.
  void RemoveQueuedCapture(int32_t requestId);
  // The history was cleared: nothing waits, and everything on screen goes.
  void ClearCaptures();

  const std::deque<PopupRequest>& CaptureQueue() const { return captureQueue_; }
  const std::deque<PopupRequest>& CompletionQueue() const { return completionQueue_; }
  const std::vector<PopupRequest>& ShownCaptures() const { return shown_; }
  PopupStack& Stack() { return stack_; }

 private:
  PopupTiming Timing() const;

  const Settings& settings_;
  PopupStack& stack_;
  TaskExistsLookup taskExists_;
  std::deque<PopupRequest> captureQueue_, completionQueue_;
  std::vector<PopupRequest> shown_;  // capture offers on screen, in the order shown
};
