#include "app/shell/notify/capture_popup_bridge.h"

#include <memory>

CapturePopupBridge::CapturePopupBridge(capture::CaptureFeature& capture, PopupFeature& popups)
    : capture_(capture), popups_(popups) {
  capture_.SetPopups(this);
  popups_.SetHistorySource(this);
}

CapturePopupBridge::~CapturePopupBridge() {
  capture_.SetPopups(nullptr);
  popups_.SetHistorySource(nullptr);
}

bool CapturePopupBridge::IsOnScreen(const std::string& address) const {
  return popups_.Started() && popups_.Center().IsShownAddress(address);
}

void CapturePopupBridge::Queue(const capture::PopupRequest& request) {
  popups_.QueueCapture(request.id, request.address, request.pattern);
}

void CapturePopupBridge::RemoveWaiting(int32_t id) {
  if (popups_.Started()) popups_.Center().RemoveQueuedCapture(id);
}

void CapturePopupBridge::CopyHistory(std::vector<CaptureHistoryRow>& rows) {
  rows.clear();
  capture::CaptureIntake* intake = capture_.Intake();
  if (!intake) return;
  for (const capture::CaptureRecord& r : intake->History()) {
    CaptureHistoryRow row;
    row.id = r.id;
    row.address = r.address;
    row.typePattern = r.pattern;
    row.time = {r.time.year, r.time.month, r.time.day, r.time.hour, r.time.minute, r.time.second};
    // Only this bridge puts pictures into records, and always QImages.
    if (r.thumbnail) row.thumbnail = *std::static_pointer_cast<QImage>(r.thumbnail);
    rows.push_back(std::move(row));
  }
}

void CapturePopupBridge::DownloadCapture(int32_t captureId) {
  if (capture::CaptureIntake* intake = capture_.Intake()) intake->OnHistoryDownload(captureId);
}

void CapturePopupBridge::ClearHistory() {
  if (capture::CaptureIntake* intake = capture_.Intake()) intake->ClearHistory();
}

bool CapturePopupBridge::SetThumbnail(int32_t captureId, const QImage& picture) {
  capture::CaptureIntake* intake = capture_.Intake();
  capture::CaptureRecord* record = intake ? intake->Find(captureId) : nullptr;
  if (!record) return false;
  record->thumbnail = std::make_shared<QImage>(picture);
  return true;
}
