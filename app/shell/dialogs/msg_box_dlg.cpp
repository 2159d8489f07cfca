#include "app/shell/dialogs/msg_box_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

#include "app/shell/dialogs/dialog_layout.h"

std::optional<bool> CMsgBoxDlg::Ask(QWidget* parent) {
  CMsgBoxDlg dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.DeleteFiles();
}

CMsgBoxDlg::CMsgBoxDlg(QWidget* parent) : QDialog(parent) {
  PrepareFixedDialog(this, QStringLiteral("Confirm"));
  auto* layout = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  layout->addWidget(icon, 0, 0, 2, 1);
  layout->addWidget(
      new QLabel(QStringLiteral("Are you sure to delete the selected downloads permanently ?"), this),
      0, 1);
  deleteFiles_ = new QCheckBox(QStringLiteral("Also delete downloaded files"), this);
  deleteFiles_->setObjectName(QStringLiteral("1024"));
  deleteFiles_->setChecked(true);
  layout->addWidget(deleteFiles_, 1, 1);
  layout->setHorizontalSpacing(12);
  layout->setRowMinimumHeight(2, 8);
  layout->addWidget(MakeOkCancel(this), 3, 0, 1, 2);
}

bool CMsgBoxDlg::DeleteFiles() const { return deleteFiles_->isChecked(); }
