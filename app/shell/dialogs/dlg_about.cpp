#include "app/shell/dialogs/dlg_about.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/shell/dialogs/dialog_layout.h"

CDlgAbout::CDlgAbout(QWidget* parent) : QDialog(parent) {
  PrepareFixedDialog(this, QStringLiteral("About"));
  auto* layout = new QGridLayout(this);
  layout->setHorizontalSpacing(16);
  auto* icon = new QLabel(this);
  QIcon app_icon = QApplication::windowIcon();
  if (app_icon.isNull()) app_icon = QApplication::style()->standardIcon(QStyle::SP_DesktopIcon);
  icon->setPixmap(app_icon.pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  layout->addWidget(icon, 0, 0, 2, 1);
  layout->addWidget(new QLabel(QStringLiteral("Tamborel"), this), 0, 1);
  layout->addWidget(new QLabel(QStringLiteral("Version 2.0 Build 091217"), this), 1, 1);
  layout->setColumnMinimumWidth(1, 180);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons, 2, 0, 1, 2);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}
