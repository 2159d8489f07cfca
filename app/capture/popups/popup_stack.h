// The popups on screen, stacked upwards from the bottom right corner of the
// work area, and the two pools of windows they come from. Every layout pass
// steps each popup and moves the windows that changed place.
#pragma once

#include <vector>

#include "app/capture/popups/popup_base.h"

// The screen the popups live on, read once when the stack is made.
struct PopupScreen {
  int workAreaRight = 0;
  int workAreaBottom = 0;
  int screenHeight = 0;
};

class PopupStack {
 public:
  static constexpr int kPoolSize = 5;
  static constexpr int kRightMargin = 20;
  static constexpr int kSlotHeight = 148;  // a capture popup's full height

  // The popups of both pools; the stack does not own them.
  PopupStack(const PopupScreen& screen, std::vector<PopupBase*> capturePool,
             std::vector<PopupBase*> completionPool);

  struct OnScreen {
    PopupBase* popup;
    PopupRect placed;  // where the window was last put; empty until placed
  };

  int MaxOnScreen() const { return maxOnScreen_; }
  bool IsStable() const { return stable_; }
  const std::vector<OnScreen>& Shown() const { return shown_; }
  size_t FreeCount(PopupKind kind) const { return Pool(kind).size(); }

  void LayoutPass();
  // Takes a free window of the kind and starts it for the request; false
  // while a popup is still moving, the screen is full or the pool is empty.
  bool Show(PopupKind kind, const PopupRequest& request, const PopupTiming& timing);
  // Every popup on screen starts its way out.
  void CloseAll();

 private:
  std::vector<PopupBase*>& Pool(PopupKind kind) { return kind == kCapturePopup ? capturePool_ : completionPool_; }
  const std::vector<PopupBase*>& Pool(PopupKind kind) const {
    return kind == kCapturePopup ? capturePool_ : completionPool_;
  }

  PopupScreen screen_;
  int maxOnScreen_;
  std::vector<PopupBase*> capturePool_, completionPool_;  // free windows
  std::vector<OnScreen> shown_;                           // first shown first
  bool stable_ = true;
};
