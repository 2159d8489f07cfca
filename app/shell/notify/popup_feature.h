// The popups, the capture history dialog and the preview pane, hooked into
// the main frame: the two pools of popup windows, their stack and queues,
// the frame's timer-3 pass, the completion notice and PreviewFile.
#pragma once

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

#include "app/capture/popups/capture_history_row.h"
#include "app/capture/popups/ccaptrue_history.h"
#include "app/capture/popups/popup_center.h"
#include "app/capture/popups/popup_stack.h"
#include "app/shell/frame_hooks.h"
#include "app/shell/notify/completion_notifier.h"

class CPopWndDlg;
class CPopWndFinishDlg;
class CVideoPlayerView;

// The capture history as its owner (the intake) lends it to the dialog.
class CaptureHistorySource {
 public:
  virtual ~CaptureHistorySource() = default;
  // The records, oldest first.
  virtual void CopyHistory(std::vector<CaptureHistoryRow>& rows) = 0;
  // Adds the record as a task; it leaves the history when a task was added.
  virtual void DownloadCapture(int32_t captureId) = 0;
  // Forgets every record.
  virtual void ClearHistory() = 0;
  // The newest record with that identifier takes the picture; false when
  // there is none.
  virtual bool SetThumbnail(int32_t captureId, const QImage& picture) = 0;
};

class PopupFeature : private CaptureHistoryFrame {
 public:
  // programDir ends in the separator (the program's folder when empty).
  explicit PopupFeature(const QString& programDir = QString());
  ~PopupFeature() override;

  // Fills the frame's popup, preview, completion and history slots; slots
  // already filled by others are kept and run first. Nothing is made until
  // the frame first calls one of them.
  void Install(shell::FrameHooks& hooks);
  // Makes the popup windows for this frame, stacked on the primary screen's
  // work area; later calls do nothing.
  void Start(shell::FrameAccess& frame);
  bool Started() const { return center_ != nullptr; }
  // Offers a captured item; the frame's main window gets the popup's
  // messages. Waits for Start when the frame has not called yet.
  void QueueCapture(int32_t captureId, const std::string& address, const std::string& typePattern);
  // The history owner; until one is set the dialog shows an empty list.
  void SetHistorySource(CaptureHistorySource* source) { source_ = source; }

  // Only after Start.
  PopupCenter& Center() { return *center_; }
  PopupStack& Stack() { return *stack_; }
  CompletionNotifier& Notifier() { return *notifier_; }
  CVideoPlayerView* PreviewPane() const { return preview_; }
  CCaptrueHistory* HistoryDialog() const { return history_; }
  void OpenHistory();
  void ClosePopupsAndHistory();

  // Frame message handlers.
  void OnPopupClosed(int32_t requestId) {
    if (center_) center_->OnPopupClosed(requestId);
  }
  // `picture` is only used when one of the popups posted it.
  void OnPopupThumbnail(int32_t captureId, platform::MessageParam picture);
  // UM_TASK_ADDED to the popup named by a message's first parameter; false
  // when no popup has that value.
  bool SendTaskAdded(platform::MessageParam askingWindow);
  // The capture popup that puts this value in its messages; null when none does.
  AskingWindow* VouchedAsker(platform::MessageParam askingWindow) const;

 private:
  void AttachHistory(std::vector<CaptureHistoryRow>& rows) override;
  void DownloadCapture(int32_t captureId) override;
  void ClearHistory() override;

  QString programDir_;
  std::vector<std::unique_ptr<CPopWndDlg>> capturePopups_;
  std::vector<std::unique_ptr<CPopWndFinishDlg>> completionPopups_;
  std::unique_ptr<PopupStack> stack_;
  std::unique_ptr<PopupCenter> center_;
  std::unique_ptr<CompletionNotifier> notifier_;
  platform::WindowServices* mainWindow_ = nullptr;
  std::vector<PopupRequest> early_;  // offers queued before Start
  CaptureHistorySource* source_ = nullptr;
  QPointer<CCaptrueHistory> history_;
  CVideoPlayerView* preview_ = nullptr;  // owned by the frame's splitter
};
