// Popups without windows: they remember where the stack put them.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/capture/popups/popup_base.h"
#include "app/capture/popups/popup_stack.h"

class FakePopup : public PopupBase {
 public:
  FakePopup(PopupKind kind, int fullHeight) : PopupBase(kind, fullHeight) {}

  void ShowPopupWindow() override { ++shows; }
  void PlacePopupWindow(const PopupRect& rect) override { placed.push_back(rect); }

  PopupRequest request;
  int shows = 0, starts = 0, gones = 0, resets = 0;
  std::vector<PopupRect> placed;
  std::function<void(FakePopup&)> onGone;

 protected:
  void OnStart(const PopupRequest& r) override {
    request = r;
    ++starts;
  }
  void OnGone() override {
    ++gones;
    if (onGone) onGone(*this);
  }
  void OnReset() override { ++resets; }
};

// Both pools at their real size and heights (148 and 67).
struct FakePools {
  std::vector<std::unique_ptr<FakePopup>> capture, completion;

  FakePools() {
    for (int i = 0; i < PopupStack::kPoolSize; ++i) {
      capture.push_back(std::make_unique<FakePopup>(kCapturePopup, 148));
      completion.push_back(std::make_unique<FakePopup>(kCompletionPopup, 67));
    }
  }
  static std::vector<PopupBase*> Raw(const std::vector<std::unique_ptr<FakePopup>>& v) {
    std::vector<PopupBase*> raw;
    for (const auto& p : v) raw.push_back(p.get());
    return raw;
  }
  PopupStack MakeStack(int right, int bottom, int screenHeight) {
    return PopupStack(PopupScreen{right, bottom, screenHeight}, Raw(capture), Raw(completion));
  }
};
