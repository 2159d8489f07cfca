#include "app/shell/notify/cvideo_player_view.h"

#include <QMouseEvent>

#include "app/shell/notify/previewable_file.h"
#include "flash/invoke_request.h"
#include "flash/shockwave_flash.h"

CVideoPlayerView::CVideoPlayerView(const QString& programDir, QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setObjectName(QStringLiteral("CVideoPlayerView"));
  flash_ = new CShockwaveFlash(this, kControlId);
  flash_->setObjectName(QString::number(kControlId));
  flash_->setGeometry(contentsRect());
  flash_->installEventFilter(this);
  flash_->LoadMovie(0, programDir + QStringLiteral("Mirelda.dll"));
}

void CVideoPlayerView::SetMovie(const std::string& path, int32_t taskIndex) {
  flash_->CallFunction(QString::fromStdString(flash::invoke::SetMovie(path, taskIndex)));
}

void CVideoPlayerView::CloseMovie() { flash_->CallFunction(QString::fromStdString(flash::invoke::CloseMovie())); }

void CVideoPlayerView::PreviewFile(const std::string& path, int32_t taskIndex) {
  // isHidden, not isVisible: the pane keeps its state while the window is in the tray.
  if (IsPreviewableFile(path)) {
    if (isHidden()) show();
    SetMovie(path, taskIndex);
  } else {
    if (!isHidden()) hide();
    CloseMovie();
  }
}

void CVideoPlayerView::resizeEvent(QResizeEvent* e) {
  QFrame::resizeEvent(e);
  flash_->setGeometry(contentsRect());
}

bool CVideoPlayerView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == flash_) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
        break;
      case QEvent::ContextMenu:
        return true;  // the control's own menu never opens
      default:
        break;
    }
  }
  return QFrame::eventFilter(watched, event);
}
