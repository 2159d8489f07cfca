#include "app/shell/dialogs/dlg_task_existed.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/shell/dialogs/dialog_layout.h"
#include "app/shell/frame_hooks.h"

CDlgTaskExisted::CDlgTaskExisted(platform::WindowServices* frame, const QString& url,
                                 int32_t taskIndex, QWidget* parent, int closeDelayMs)
    : QDialog(parent), frame_(frame), taskIndex_(taskIndex), closeDelayMs_(closeDelayMs) {
  PrepareFixedDialog(this, QStringLiteral("Dialog"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QStringLiteral("The task has existed in your list."), this);
  text->setObjectName(QStringLiteral("1115"));
  layout->addWidget(text);

  auto* address = new QPlainTextEdit(this);
  address->setObjectName(QStringLiteral("1076"));
  address->setReadOnly(true);
  address->setPlainText(url);
  address->setFixedSize(360, 70);
  layout->addWidget(address);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  again_ = new QPushButton(QStringLiteral("Download Again"), this);
  again_->setObjectName(QStringLiteral("1075"));
  check_ = new QPushButton(QStringLiteral("Check"), this);
  check_->setObjectName(QStringLiteral("1111"));
  buttons->addWidget(again_);
  buttons->addWidget(check_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(again_, &QPushButton::clicked, this, [this] { Answer(shell::UM_DOWNLOAD_AGAIN); });
  connect(check_, &QPushButton::clicked, this, [this] { Answer(shell::UM_SHOW_TASK); });
}

void CDlgTaskExisted::Answer(uint32_t message) {
  // One answer per dialog: a second click in the closing second would ask
  // the frame twice.
  again_->setEnabled(false);
  check_->setEnabled(false);
  if (frame_) frame_->Post(message, 0, taskIndex_);
  QTimer::singleShot(closeDelayMs_, this, &QDialog::accept);
}
