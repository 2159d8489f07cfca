#include "app/capture/popups/popup_base.h"

#include <cstdint>
#include <limits>

int32_t PopupTiming::RemainingMs() const {
  constexpr int32_t kForever = std::numeric_limits<int32_t>::max();
  if (!autoClose) return kForever;
  // A seconds value typed too large must not wrap into an instant close.
  const int64_t ms = int64_t{seconds} * 1000;
  if (ms > kForever) return kForever;
  return ms < 0 ? 0 : static_cast<int32_t>(ms);
}

void PopupBase::Start(const PopupRequest& request, const PopupTiming& timing) {
  state_ = Growing;
  remainingMs_ = timing.RemainingMs();
  OnStart(request);
}

void PopupBase::Step() {
  switch (state_) {
    case Growing:
      height_ += kHeightStep;
      if (height_ >= fullHeight_) {
        height_ = fullHeight_;
        state_ = Showing;
      }
      break;
    case Showing:
      remainingMs_ -= kPassMs;
      if (remainingMs_ <= 0) {
        remainingMs_ = 0;
        state_ = Shrinking;
      }
      break;
    case Shrinking:
      height_ -= kHeightStep;
      if (height_ <= 0) {
        height_ = 0;
        state_ = Gone;
        OnGone();
      }
      break;
    default:
      break;
  }
}

void PopupBase::Reset() {
  state_ = Idle;
  height_ = 0;
  remainingMs_ = 0;
  OnReset();
}
