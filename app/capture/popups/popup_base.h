// What both popup kinds share: the slide-up animation, the countdown and the
// states the stack walks them through. One Step() per layout pass.
#pragma once

#include <cstdint>

#include "app/capture/popups/popup_request.h"

struct PopupRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PopupRect&) const = default;
};

// How long a popup stays once grown, from ClosePopWndWay and ClosePopWndSeconds.
struct PopupTiming {
  bool autoClose = true;  // ClosePopWndWay 1; 0 means the user closes it
  int32_t seconds = 20;
  int32_t RemainingMs() const;
};

class PopupBase {
 public:
  enum PopupState { Idle = 0, Growing = 1, Showing = 2, Shrinking = 3, Gone = 4 };
  static constexpr int kWidth = 192;
  static constexpr int kHeightStep = 12;
  static constexpr int kPassMs = 20;

  PopupBase(PopupKind kind, int fullHeight) : kind_(kind), fullHeight_(fullHeight) {}
  virtual ~PopupBase() = default;

  PopupKind Kind() const { return kind_; }
  int State() const { return state_; }
  int Height() const { return height_; }
  int FullHeight() const { return fullHeight_; }
  int32_t RemainingMs() const { return remainingMs_; }

  // Sets the popup going for a request: growing, with the countdown from the
  // timing, then the kind's own start.
  void Start(const PopupRequest& request, const PopupTiming& timing);
  // One layout pass's worth of animation or countdown.
  void Step();
  void CloseNow() { remainingMs_ = 0; }
  void CloseAfter(int32_t ms) { remainingMs_ = ms; }
  // Back to idle, ready to be taken from the pool again.
  void Reset();

  // The window: shown when the stack takes the popup, moved and sized by
  // every layout pass that finds it somewhere else.
  virtual void ShowPopupWindow() = 0;
  virtual void PlacePopupWindow(const PopupRect& rect) = 0;

 protected:
  virtual void OnStart(const PopupRequest& request) = 0;
  // Runs once, when the popup has shrunk away.
  virtual void OnGone() {}
  virtual void OnReset() {}

 private:
  PopupKind kind_;
  int fullHeight_;
  int state_ = Idle;
  int height_ = 0;
  int32_t remainingMs_ = 0;
};
