// Joins the capture intake and the popups: captured items are offered in
// capture popups, and the history dialog reads and changes the intake's
// capture history.
#pragma once

#include "app/capture/capture_feature.h"
#include "app/shell/notify/popup_feature.h"

class CapturePopupBridge : public capture::CapturePopups, public CaptureHistorySource {
 public:
  // Tells both sides about the other; both must outlive the bridge.
  CapturePopupBridge(capture::CaptureFeature& capture, PopupFeature& popups);
  ~CapturePopupBridge() override;

  // capture::CapturePopups
  bool IsOnScreen(const std::string& address) const override;
  void Queue(const capture::PopupRequest& request) override;
  void RemoveWaiting(int32_t id) override;
  AskingWindow* VouchedAsker(intptr_t param) const override;

  // CaptureHistorySource
  void CopyHistory(std::vector<CaptureHistoryRow>& rows) override;
  void DownloadCapture(int32_t captureId) override;
  void ClearHistory() override;
  bool SetThumbnail(int32_t captureId, const QImage& picture) override;

 private:
  capture::CaptureFeature& capture_;
  PopupFeature& popups_;
};
