#include "player/dlg_open_url.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/message_box.h"
#include "player/open_rules.h"

CDlgOpenURL::CDlgOpenURL(const QStringList& recent, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Open URL"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Please enter the URL of the Flash Video:"), this));
  combo_ = new QComboBox(this);
  combo_->setObjectName(QStringLiteral("url"));
  combo_->setEditable(true);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  combo_->setMinimumWidth(360);
  combo_->addItems(recent);
  combo_->lineEdit()->setMaxLength(kMaxInput);
  if (!recent.isEmpty()) {
    combo_->setCurrentIndex(0);
    combo_->lineEdit()->selectAll();
  } else {
    combo_->setCurrentIndex(-1);
  }
  // The drop-down shows the longest address whole, never narrower than the box.
  QFontMetrics fm(combo_->view()->font());
  int widest = 0;
  for (const QString& s : recent) widest = std::max(widest, fm.horizontalAdvance(s));
  combo_->view()->setMinimumWidth(widest + fm.averageCharWidth());
  layout->addWidget(combo_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDlgOpenURL::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDlgOpenURL::reject);
  layout->addWidget(buttons);
  combo_->setFocus();
}

void CDlgOpenURL::accept() {
  QString text = combo_->currentText().trimmed();
  if (text.isEmpty() || !IsAcceptedUrlInput(text)) {
    platform::ShowMessageBox("Pellumo", "Please enter a valid URL.", platform::MB_OK);
    return;  // stays open
  }
  url_ = text;
  QDialog::accept();
}
