#include "app/shell/dialogs/dialog_layout.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLayout>
#include <QPushButton>
#include <QScreen>

void PrepareFixedDialog(QDialog* dialog, const QString& title) {
  dialog->setWindowTitle(title);
  dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  dialog->setModal(true);
}

QDialogButtonBox* MakeOkCancel(QDialog* dialog) {
  auto* box = new QDialogButtonBox(dialog);
  QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("2"));
  QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  if (dialog->layout()) dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
  return box;
}

void CentreOnScreen(QDialog* dialog) {
  QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = dialog->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  dialog->move(frame.topLeft());
}
