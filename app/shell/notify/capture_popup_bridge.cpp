#include "app/shell/notify/capture_popup_bridge.h"

#include <QFile>
#include <QSet>

#include <cstdlib>
#include <memory>

namespace {

// A line log of the capture history's changes, written when
// TAMBOREL_POPUP_TRACE names a file: the end-to-end tests read it, users
// never need it.
void Trace(const QString& line) {
  static std::unique_ptr<QFile> file = []() -> std::unique_ptr<QFile> {
    const char* path = std::getenv("TAMBOREL_POPUP_TRACE");
    if (!path || !*path) return nullptr;
    auto f = std::make_unique<QFile>(QString::fromLocal8Bit(path));
    if (!f->open(QIODevice::WriteOnly | QIODevice::Append)) return nullptr;
    return f;
  }();
  if (!file) return;
  file->write((line + QLatin1Char('\n')).toUtf8());
  file->flush();
}

// Tells a picture from a blank grab: up to `limit` distinct colours.
int CountColours(const QImage& picture, int limit) {
  QSet<QRgb> seen;
  for (int y = 0; y < picture.height() && seen.size() < limit; ++y)
    for (int x = 0; x < picture.width() && seen.size() < limit; ++x) seen.insert(picture.pixel(x, y));
  return static_cast<int>(seen.size());
}

}  // namespace

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
  capture::CaptureIntake* intake = capture_.Intake();
  Trace(QStringLiteral("offer %1 records=%2").arg(request.id).arg(intake ? intake->History().size() : 0));
}

void CapturePopupBridge::RemoveWaiting(int32_t id) {
  if (popups_.Started()) popups_.Center().RemoveQueuedCapture(id);
}

AskingWindow* CapturePopupBridge::VouchedAsker(intptr_t param) const { return popups_.VouchedAsker(param); }

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
  Trace(QStringLiteral("thumbnail %1 %2x%3 colours=%4")
            .arg(captureId)
            .arg(picture.width())
            .arg(picture.height())
            .arg(CountColours(picture, 64)));
  return true;
}
