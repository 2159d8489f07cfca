#include "app/shell/notify/cpopwnd_finish_dlg.h"

#include <QPainter>

#include "app/shell/frame_hooks.h"
#include "app/capture/popups/popup_texts.h"
#include "app/capture/popups/skin_button.h"

static void InitFinishPictures() { Q_INIT_RESOURCE(notify); }

CPopWndFinishDlg::CPopWndFinishDlg(const QString& programDir) : PopupWindow(kCompletionPopup, kFullHeight) {
  InitFinishPictures();
  setObjectName(QStringLiteral("237"));
  setWindowTitle(QStringLiteral("Tamborel"));

  label_ = new CWndText(this, this);
  label_->setObjectName(QStringLiteral("1114"));
  QFont small = font();
  small.setPixelSize(11);
  label_->setFont(small);
  label_->setGeometry(12, 25, 175, 15);

  close_ = new SkinButton(programDir, QStringLiteral("Close.svg"), QStringLiteral("X"), {12, 12}, this);
  close_->setObjectName(QStringLiteral("1113"));
  close_->move(176, 6);
  openFolder_ =
      new SkinButton(programDir, QStringLiteral("OpenFolder.svg"), QStringLiteral("Open Folder"), {76, 18}, this);
  openFolder_->setObjectName(QStringLiteral("1112"));
  openFolder_->move(108, 45);

  connect(close_, &QAbstractButton::clicked, this, [this] { CloseNow(); });
  connect(openFolder_, &QAbstractButton::clicked, this, [this] {
    PostToMainWindow(shell::UM_OPEN_TASK_FOLDER, reinterpret_cast<platform::MessageParam>(this), request_.id);
    CloseAfter(kCloseAfterActionMs);
  });
}

void CPopWndFinishDlg::ComposePicture(QPainter& p) {
  DrawPopupPicture(p, QStringLiteral(":/notify/finish_background.svg"), QRectF(0, 0, 192, 67));
  DrawPopupPicture(p, QStringLiteral(":/notify/finish_title.svg"), QRectF(3, 3, 186, 20));
}

void CPopWndFinishDlg::OnStart(const PopupRequest& request) {
  PopupWindow::OnStart(request);
  label_->SetText(QString::fromStdString(FileNameOfPath(request.text)));
}
