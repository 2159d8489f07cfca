#include "player/player_dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "player/dlg_open_url.h"

QString QtPlayerDialogs::OpenMovieFile(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                      QStringLiteral("Flash Video(*.flv);;All files(*)"));
}

QString QtPlayerDialogs::SaveCopyAs(QWidget* parent, const QString& initialName) {
  // The file dialog asks before overwriting by default.
  return QFileDialog::getSaveFileName(parent, QString(), initialName);
}

std::optional<QString> QtPlayerDialogs::OpenUrl(QWidget* parent, const QStringList& recent) {
  CDlgOpenURL dlg(recent, parent);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.Url();
}

void QtPlayerDialogs::About(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle(QObject::tr("About Pellumo"));
  auto* layout = new QVBoxLayout(&dlg);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(&dlg);
  icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
  row->addWidget(icon);
  row->addSpacing(12);
  row->addWidget(new QLabel(QStringLiteral("Pellumo v1.7"), &dlg), 1);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dlg);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  layout->addWidget(buttons);
  dlg.exec();
}
