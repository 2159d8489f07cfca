#include "app/shell/dialogs/dlg_action_when_close.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/shell/dialogs/dialog_layout.h"
#include "app/shell/frame_hooks.h"

std::optional<CloseChoice> CDlgActionWhenClose::Ask(int presetAction, QWidget* parent) {
  CDlgActionWhenClose dialog(presetAction, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

CDlgActionWhenClose::CDlgActionWhenClose(int presetAction, QWidget* parent) : QDialog(parent) {
  PrepareFixedDialog(this, QStringLiteral("Select your action"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("When you click the close button you want to:"), this));
  close_ = new QRadioButton(QStringLiteral("Close the program"), this);
  close_->setObjectName(QStringLiteral("1073"));
  tray_ = new QRadioButton(QStringLiteral("Minimize to the system tray area"), this);
  tray_->setObjectName(QStringLiteral("1074"));
  doNotAsk_ = new QCheckBox(QStringLiteral("Do not ask me again"), this);
  doNotAsk_->setObjectName(QStringLiteral("1078"));
  auto* choices = new QVBoxLayout;
  choices->setContentsMargins(16, 0, 0, 0);
  choices->addWidget(close_);
  choices->addWidget(tray_);
  layout->addLayout(choices);
  layout->addSpacing(6);
  layout->addWidget(doNotAsk_);
  layout->addWidget(MakeOkCancel(this));
  (presetAction == shell::kCloseToTray ? tray_ : close_)->setChecked(true);
}

CloseChoice CDlgActionWhenClose::Choice() const {
  return {close_->isChecked() ? shell::kCloseProgram : shell::kCloseToTray, doNotAsk_->isChecked()};
}
