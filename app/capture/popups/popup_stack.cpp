#include "app/capture/popups/popup_stack.h"

#include <algorithm>
#include <utility>

PopupStack::PopupStack(const PopupScreen& screen, std::vector<PopupBase*> capturePool,
                       std::vector<PopupBase*> completionPool)
    : screen_(screen),
      maxOnScreen_(std::clamp(screen.screenHeight / kSlotHeight, 0, kPoolSize)),
      capturePool_(std::move(capturePool)),
      completionPool_(std::move(completionPool)) {}

void PopupStack::LayoutPass() {
  stable_ = true;
  int y = screen_.workAreaBottom;
  for (auto it = shown_.begin(); it != shown_.end(); ++it) {
    PopupBase* popup = it->popup;
    if (popup->State() == PopupBase::Gone) {
      // The rest waits for the next pass: the window list changed under us.
      shown_.erase(it);
      popup->Reset();
      Pool(popup->Kind()).push_back(popup);
      return;
    }
    popup->Step();
    PopupRect rect;
    rect.right = screen_.workAreaRight - kRightMargin;
    rect.left = rect.right - PopupBase::kWidth;
    rect.bottom = y;
    rect.top = y - popup->Height();
    y = rect.top;
    if (rect != it->placed) {
      popup->PlacePopupWindow(rect);
      it->placed = rect;
      stable_ = false;
    }
  }
}

bool PopupStack::Show(PopupKind kind, const PopupRequest& request, const PopupTiming& timing) {
  if (!stable_ || static_cast<int>(shown_.size()) >= maxOnScreen_) return false;
  std::vector<PopupBase*>& pool = Pool(kind);
  if (pool.empty()) return false;
  PopupBase* popup = pool.front();
  pool.erase(pool.begin());
  popup->ShowPopupWindow();
  shown_.push_back({popup, PopupRect{}});
  popup->Start(request, timing);
  return true;
}

void PopupStack::CloseAll() {
  for (OnScreen& s : shown_) s.popup->CloseNow();
}
