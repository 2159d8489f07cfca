#include "app/shell/dialogs/dlg_tutorial.h"

#include <QCheckBox>
#include <QPushButton>

#include <algorithm>

#include "app/shell/dialogs/dialog_layout.h"

bool CDlgTutorial::Run(QWidget* parent, const MovieFactory& makeMovie) {
  CDlgTutorial dialog(makeMovie, parent);
  dialog.exec();
  return dialog.DoNotShowAgain();
}

CDlgTutorial::CDlgTutorial(const MovieFactory& makeMovie, QWidget* parent) : QDialog(parent) {
  PrepareFixedDialog(this, QStringLiteral("Tamborel Tutorial"));
  setFixedSize(720, 590);
  if (makeMovie) movie_ = makeMovie(this);
  if (movie_) movie_->setGeometry(0, 0, 720, 550);

  doNotShow_ = new QCheckBox(QStringLiteral("Do not show this tutorial on startup"), this);
  doNotShow_->setObjectName(QStringLiteral("1078"));
  // Wider than its place when the font asks for it, so the text is never cut.
  doNotShow_->setGeometry(20, 560, std::max(200, doNotShow_->sizeHint().width()), 20);
  close_ = new QPushButton(QStringLiteral("Close"), this);
  close_->setObjectName(QStringLiteral("2"));
  close_->setGeometry(580, 560, 120, 23);
  close_->setDefault(true);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgTutorial::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

bool CDlgTutorial::DoNotShowAgain() const { return doNotShow_->isChecked(); }
