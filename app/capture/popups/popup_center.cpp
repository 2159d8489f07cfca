#include "app/capture/popups/popup_center.h"

#include <algorithm>
#include <utility>

#include "core/settings.h"

PopupCenter::PopupCenter(const Settings& settings, PopupStack& stack, TaskExistsLookup taskExists)
    : settings_(settings), stack_(stack), taskExists_(std::move(taskExists)) {}

PopupTiming PopupCenter::Timing() const {
  return PopupTiming{settings_.ClosePopWndWay == 1, settings_.ClosePopWndSeconds};
}

void PopupCenter::Tick() {
  stack_.LayoutPass();
  if (!captureQueue_.empty()) {
    PopupRequest& first = captureQueue_.front();
    first.taskExists = taskExists_ && taskExists_(first.text) ? 1 : 0;
    if (stack_.Show(kCapturePopup, first, Timing())) {
      shown_.push_back(first);
      captureQueue_.pop_front();
    }
  }

  if (!settings_.ShowFinishPopWnd) {
    completionQueue_.clear();
    return;
  }
  stack_.LayoutPass();
  if (!completionQueue_.empty() && stack_.Show(kCompletionPopup, completionQueue_.front(), Timing()))
    completionQueue_.pop_front();
}

bool PopupCenter::IsShownAddress(const std::string& address) const {
  return std::any_of(shown_.begin(), shown_.end(), [&](const PopupRequest& r) { return r.text == address; });
}

void PopupCenter::OnPopupClosed(int32_t requestId) {
  auto it = std::find_if(shown_.begin(), shown_.end(), [&](const PopupRequest& r) { return r.id == requestId; });
  if (it != shown_.end()) shown_.erase(it);
}

void PopupCenter::RemoveQueuedCapture(int32_t requestId) {
  auto it = std::find_if(captureQueue_.begin(), captureQueue_.end(),
                         [&](const PopupRequest& r) { return r.id == requestId; });
  if (it != captureQueue_.end()) captureQueue_.erase(it);
}

void PopupCenter::ClearCaptures() {
  captureQueue_.clear();
  shown_.clear();
  stack_.CloseAll();
}
