#include "app/shell/notify/popup_feature.h"

#include <QImage>

#include <utility>

#include "app/capture/popups/ccaptrue_history.h"
#include "app/capture/popups/cpopwnd_dlg.h"
#include "app/shell/notify/cpopwnd_finish_dlg.h"
#include "app/shell/notify/cvideo_player_view.h"
#include "core/data_model.h"
#include "core/program_dir.h"

namespace {

template <typename Popup>
std::vector<std::unique_ptr<Popup>> MakePool(const QString& programDir) {
  std::vector<std::unique_ptr<Popup>> pool;
  for (int i = 0; i < PopupStack::kPoolSize; ++i) pool.push_back(std::make_unique<Popup>(programDir));
  return pool;
}

template <typename Popup>
std::vector<PopupBase*> Raw(const std::vector<std::unique_ptr<Popup>>& pool) {
  std::vector<PopupBase*> raw;
  for (const auto& p : pool) raw.push_back(p.get());
  return raw;
}

// Runs what was in the slot before, then `mine`.
template <typename Slot, typename Mine>
void Chain(Slot& slot, Mine mine) {
  slot = [before = std::move(slot), mine = std::move(mine)](auto&&... args) {
    if (before) before(args...);
    mine(args...);
  };
}

}  // namespace

PopupFeature::PopupFeature(const QString& programDir)
    : programDir_(programDir.isEmpty() ? QString::fromStdString(GetProgramDir()) : programDir) {}

void PopupFeature::Start(shell::FrameAccess& frame) {
  if (Started()) return;
  capturePopups_ = MakePool<CPopWndDlg>(programDir_);
  completionPopups_ = MakePool<CPopWndFinishDlg>(programDir_);
  stack_ = std::make_unique<PopupStack>(PrimaryPopupScreen(), Raw(capturePopups_), Raw(completionPopups_));
  center_ = std::make_unique<PopupCenter>(frame.AppSettings(), *stack_, [&frame](const std::string& address) {
    return frame.Model().FindTaskByUrl(address) != nullptr;
  });
  mainWindow_ = &frame.Services();
  // The frame queues the media-information lookup itself.
  notifier_ = std::make_unique<CompletionNotifier>(frame.AppSettings(), frame.Model(), *center_, mainWindow_, nullptr);
  for (PopupRequest& r : early_) {
    r.mainWindow = mainWindow_;
    center_->QueueCapture(r);
  }
  early_.clear();
}

void PopupFeature::QueueCapture(int32_t captureId, const std::string& address, const std::string& typePattern) {
  PopupRequest r;
  r.id = captureId;
  r.mainWindow = mainWindow_;
  r.kind = kCapturePopup;
  r.text = address;
  r.typePattern = typePattern;
  if (center_) center_->QueueCapture(r);
  else early_.push_back(r);
}

PopupFeature::~PopupFeature() {
  if (history_) delete history_.data();
}

void PopupFeature::Install(shell::FrameHooks& hooks) {
  Chain(hooks.popupPass, [this](shell::FrameAccess& f) {
    Start(f);
    center_->Tick();
  });
  Chain(hooks.completionNotice, [this](shell::FrameAccess& f, int32_t taskIndex) {
    Start(f);
    notifier_->OnTaskCompleted(taskIndex);
  });
  Chain(hooks.openCaptureHistory, [this](shell::FrameAccess& f) {
    Start(f);
    OpenHistory();
  });
  Chain(hooks.releaseCapture, [this](shell::FrameAccess&) { ClosePopupsAndHistory(); });
  Chain(hooks.sendTaskAdded, [this](shell::FrameAccess&, platform::MessageParam asker) { SendTaskAdded(asker); });
  Chain(hooks.messages[shell::UM_POPUP_CLOSED],
        [this](shell::FrameAccess& f, platform::MessageParam wParam, platform::MessageParam) {
          Start(f);
          OnPopupClosed(static_cast<int32_t>(wParam));
        });
  Chain(hooks.messages[shell::UM_POPUP_THUMBNAIL],
        [this](shell::FrameAccess&, platform::MessageParam wParam, platform::MessageParam lParam) {
          OnPopupThumbnail(static_cast<int32_t>(wParam), lParam);
        });
  // One pane: whoever made one first keeps it.
  if (!hooks.createPreviewPane) {
    hooks.createPreviewPane = [this](shell::FrameAccess& f, QWidget* parent) -> QWidget* {
      Start(f);
      preview_ = new CVideoPlayerView(programDir_, parent);
      return preview_;
    };
  }
  Chain(hooks.previewFile, [this](shell::FrameAccess&, const std::string& path, int32_t taskIndex) {
    if (preview_) preview_->PreviewFile(path, taskIndex);
  });
}

void PopupFeature::OpenHistory() {
  if (!history_) history_ = new CCaptrueHistory(this, nullptr);
  history_->show();
  history_->raise();
  history_->activateWindow();
}

void PopupFeature::ClosePopupsAndHistory() {
  if (history_) history_->close();
}

void PopupFeature::OnPopupThumbnail(int32_t captureId, platform::MessageParam picture) {
  for (const auto& popup : capturePopups_) {
    if (std::unique_ptr<QImage> claimed = popup->ClaimThumbnail(picture)) {
      if (source_) source_->SetThumbnail(captureId, *claimed);
      return;
    }
  }
}

AskingWindow* PopupFeature::VouchedAsker(platform::MessageParam askingWindow) const {
  for (const auto& popup : capturePopups_) {
    if (popup->AskerParam() == askingWindow) return popup.get();
  }
  return nullptr;
}

bool PopupFeature::SendTaskAdded(platform::MessageParam askingWindow) {
  AskingWindow* popup = VouchedAsker(askingWindow);
  if (popup) popup->SendTaskAdded();
  return popup != nullptr;
}

void PopupFeature::AttachHistory(std::vector<CaptureHistoryRow>& rows) {
  rows.clear();
  if (source_) source_->CopyHistory(rows);
}

void PopupFeature::DownloadCapture(int32_t captureId) {
  if (source_) source_->DownloadCapture(captureId);
  if (center_) center_->RemoveQueuedCapture(captureId);
}

void PopupFeature::ClearHistory() {
  if (source_) source_->ClearHistory();
  if (center_) center_->ClearCaptures();
}
