#include "app/capture/popups/cpopwnd_dlg.h"

#include <QEvent>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "app/shell/frame_hooks.h"
#include "app/capture/popups/skin_button.h"
#include "flash/invoke_request.h"
#include "flash/shockwave_flash.h"

CPopWndDlg::CPopWndDlg(const QString& programDir)
    : PopupWindow(kCapturePopup, kFullHeight), programDir_(programDir) {
  setObjectName(QStringLiteral("173"));
  setWindowTitle(QStringLiteral("Tamborel"));

  flash_ = new CShockwaveFlash(this, 1021);
  flash_->setObjectName(QStringLiteral("1021"));
  flash_->setGeometry(58, 41, 74, 48);
  flash_->hide();
  flash_->installEventFilter(this);
  connect(flash_, &flash::FlashControl::FSCommand, this, &CPopWndDlg::OnMovieCommand);

  typeLabel_ = new CWndText(this, this);
  typeLabel_->setObjectName(QStringLiteral("1029"));
  QFont bold(QStringLiteral("Tahoma"));
  bold.setPixelSize(12);
  bold.setBold(true);
  typeLabel_->setFont(bold);
  typeLabel_->SetTextColor(Qt::white);
  typeLabel_->setGeometry(93, 7, 63, 15);

  mainText_ = new CWndText(this, this);
  mainText_->setObjectName(QStringLiteral("1030"));
  QFont small = font();
  small.setPixelSize(11);
  mainText_->setFont(small);
  mainText_->setGeometry(12, 106, 175, 15);

  download_ = new SkinButton(programDir, QStringLiteral("download.svg"), QStringLiteral("Download"), {64, 18}, this);
  download_->setObjectName(QStringLiteral("1075"));
  download_->move(117, 126);
  downloadAgain_ = new SkinButton(programDir, QStringLiteral("download again.svg"),
                                  QStringLiteral("Download again"), {86, 18}, this);
  downloadAgain_->setObjectName(QStringLiteral("1112"));
  downloadAgain_->move(27, 126);
  check_ = new SkinButton(programDir, QStringLiteral("check.svg"), QStringLiteral("Check"), {56, 18}, this);
  check_->setObjectName(QStringLiteral("1111"));
  check_->move(119, 126);
  close_ = new SkinButton(programDir, QStringLiteral("Close.svg"), QStringLiteral("X"), {12, 12}, this);
  close_->setObjectName(QStringLiteral("1026"));
  close_->move(176, 6);

  connect(close_, &QAbstractButton::clicked, this, [this] { CloseNow(); });
  connect(download_, &QAbstractButton::clicked, this, [this] {
    PostToMainWindow(shell::UM_CAPTURE_ADD, AskerParam(), request_.id);
    CloseAfter(kCloseAfterActionMs);
  });
  connect(downloadAgain_, &QAbstractButton::clicked, this, [this] {
    PostToMainWindow(shell::UM_DOWNLOAD_AGAIN, AskerParam(), request_.id);
    downloadAgain_->setEnabled(false);
    check_->setEnabled(false);
    CloseAfter(kCloseAfterActionMs);
  });
  connect(check_, &QAbstractButton::clicked, this, [this] {
    PostToMainWindow(shell::UM_SHOW_TASK, AskerParam(), request_.id);
    downloadAgain_->setEnabled(false);
    check_->setEnabled(false);
    CloseAfter(kCloseAfterActionMs);
  });

  thumbnailTimer_.setInterval(2000);
  connect(&thumbnailTimer_, &QTimer::timeout, this, [this] {
    thumbnailTimer_.stop();
    TakeThumbnail();
  });
}

CPopWndDlg::~CPopWndDlg() = default;

void CPopWndDlg::ComposePicture(QPainter& p) {
  DrawPopupPicture(p, QStringLiteral(":/popups/popup_background.svg"), QRectF(0, 0, 192, 148));
  DrawPopupPicture(p, QStringLiteral(":/popups/popup_title.svg"), QRectF(3, 3, 186, 20));
  static const char* const frames[] = {":/popups/frame_video.svg", ":/popups/frame_audio.svg",
                                       ":/popups/frame_flash.svg"};
  DrawPopupPicture(p, QString::fromLatin1(frames[static_cast<int>(mode_)]), QRectF(36, 23, 120, 81));
}

void CPopWndDlg::OnStart(const PopupRequest& request) {
  PopupWindow::OnStart(request);
  download_->setEnabled(true);
  downloadAgain_->setEnabled(true);
  check_->setEnabled(true);
  typeLabel_->SetText(QString::fromStdString(PopupTypeLabel(request.typePattern)));
  if (request.taskExists) {
    ShowText(QStringLiteral("The Task has existed."));
    download_->hide();
    downloadAgain_->show();
    check_->show();
  } else {
    ShowText(QString::fromStdString(request.text));
    download_->show();
    downloadAgain_->hide();
    check_->hide();
  }

  mode_ = CapturePreviewMode(request.typePattern);
  RecomposePicture();
  switch (mode_) {
    case PreviewMode::Video:
      flash_->SetAllowScriptAccess(QString());
      flash_->hide();
      flash_->SetScaleMode(2);
      flash_->LoadMovie(0, programDir_ + QStringLiteral("Zindrel.dll"));
      flash_->CallFunction(QString::fromStdString(flash::invoke::setMovie(request.text)));
      break;
    case PreviewMode::Audio:
      flash_->hide();
      break;
    case PreviewMode::FlashMovie:
      flash_->SetAllowScriptAccess(QStringLiteral("never"));
      flash_->show();
      flash_->SetScaleMode(1);
      flash_->LoadMovie(0, QString::fromStdString(request.text));
      thumbnailTimer_.start();
      break;
  }
}

void CPopWndDlg::SendTaskAdded() {
  download_->setEnabled(false);
  ShowText(QStringLiteral("The task has been added."));
}

void CPopWndDlg::ShowText(const QString& text) {
  mainText_->SetText(text);
  // The caption is never drawn; it names the offer for window lists and
  // accessibility tools.
  setWindowTitle(typeLabel_->Text() + QLatin1Char(' ') + text);
}

void CPopWndDlg::OnMovieCommand(const QString& command, const QString& args) {
  if (command.isNull() || args.isNull() || mode_ != PreviewMode::Video) return;
  if (command.compare(QLatin1String("StreamNotFound"), Qt::CaseInsensitive) == 0) {
    flash_->hide();
  } else if (command.compare(QLatin1String("PlayStart"), Qt::CaseInsensitive) == 0) {
    flash_->show();
    update();
  } else if (command.compare(QLatin1String("PlayTime"), Qt::CaseInsensitive) == 0) {
    TakeThumbnail();
  }
}

void CPopWndDlg::TakeThumbnail() {
  if (!request_.mainWindow) return;
  constexpr size_t kMaxUnclaimed = 8;
  if (unclaimed_.size() >= kMaxUnclaimed) unclaimed_.pop_front();
  unclaimed_.push_back(std::make_unique<QImage>(flash_->grab().toImage()));
  request_.mainWindow->Post(shell::UM_POPUP_THUMBNAIL, request_.id,
                            reinterpret_cast<platform::MessageParam>(unclaimed_.back().get()));
}

std::unique_ptr<QImage> CPopWndDlg::ClaimThumbnail(platform::MessageParam picture) {
  for (auto it = unclaimed_.begin(); it != unclaimed_.end(); ++it) {
    if (reinterpret_cast<platform::MessageParam>(it->get()) != picture) continue;
    std::unique_ptr<QImage> claimed = std::move(*it);
    unclaimed_.erase(it);
    return claimed;
  }
  return nullptr;
}

void CPopWndDlg::OnGone() { PostToMainWindow(shell::UM_POPUP_CLOSED, request_.id, 0); }

void CPopWndDlg::OnReset() {
  thumbnailTimer_.stop();
  flash_->hide();
  flash_->LoadMovie(0, programDir_ + QStringLiteral("blank.dll"));
  hide();
}

bool CPopWndDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == flash_) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::ContextMenu:
        return true;  // the movie gets no clicks and no menu
      default:
        break;
    }
  }
  return PopupWindow::eventFilter(watched, event);
}
