#include "app/shell/dialogs/dlg_options_capture.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>
#include <string>

#include "app/capture/capture_sender.h"
#include "app/shell/dialogs/dialog_layout.h"
#include "core/ansi_text.h"
#include "platform/message_box.h"

namespace {

QString PickProgram(QWidget* parent) {
  // Browsers on this system carry no ".exe"; the second filter lets them be
  // chosen as well.
  return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                      QStringLiteral("Execute Files (*.exe);;All Files (*)"));
}

std::set<std::string> MonitoredNames(const std::vector<BrowserEntry>& browsers) {
  std::set<std::string> names;
  for (const BrowserEntry& b : browsers) {
    if (b.Monitored) names.insert(b.Name);
  }
  return names;
}

}  // namespace

bool CDlgOptionsCapture::IsBuiltInBrowser(const QString& rowText) {
  for (const char* name : {" iexplore.exe", " firefox.exe", " opera.exe", " maxthon.exe", " chromium"}) {
    if (rowText.compare(QString::fromLatin1(name), Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

CDlgOptionsCapture::CDlgOptionsCapture(Settings& settings, QWidget* parent,
                                       const std::vector<std::string>& installedBrowsers)
    : QDialog(parent), settings_(settings), pickProgram_(PickProgram) {
  PrepareFixedDialog(this, QStringLiteral("Monitored programs"));
  auto* layout = new QGridLayout(this);
  auto* title = new QLabel(QStringLiteral("&Monitor the following browsers:"), this);
  layout->addWidget(title, 0, 0, 1, 2);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("1045"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setFixedSize(220, 150);
  title->setBuddy(list_);
  layout->addWidget(list_, 1, 0);

  auto* side = new QVBoxLayout;
  add_ = new QPushButton(QStringLiteral("Add"), this);
  add_->setObjectName(QStringLiteral("1047"));
  remove_ = new QPushButton(QStringLiteral("Remove"), this);
  remove_->setObjectName(QStringLiteral("1048"));
  side->addWidget(add_);
  side->addWidget(remove_);
  side->addStretch(1);
  layout->addLayout(side, 1, 1);
  layout->addWidget(MakeOkCancel(this), 2, 0, 1, 2);

  std::vector<std::string> listed;
  for (const BrowserEntry& b : settings.Browsers) {
    auto* item = new QListWidgetItem(QStringLiteral(" ") + QString::fromStdString(b.Name), list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(b.Monitored ? Qt::Checked : Qt::Unchecked);
    listed.push_back(b.Name);
  }
  // Offered, not imposed: the user ticks what Tamborel may watch.
  for (const std::string& name : installedBrowsers) {
    if (capture::IsBrowserListed(listed, name)) continue;
    auto* item = new QListWidgetItem(QStringLiteral(" ") + QString::fromStdString(name), list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    listed.push_back(name);
  }

  connect(list_, &QListWidget::itemSelectionChanged, this, &CDlgOptionsCapture::UpdateRemoveEnabled);
  connect(add_, &QPushButton::clicked, this, [this] {
    QString path = pickProgram_(this);
    if (!path.isEmpty()) AddProgram(path);
  });
  connect(remove_, &QPushButton::clicked, this, [this] {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty() || IsBuiltInBrowser(selected.front()->text())) return;
    delete selected.front();
    UpdateRemoveEnabled();
  });
  UpdateRemoveEnabled();
}

void CDlgOptionsCapture::UpdateRemoveEnabled() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  remove_->setEnabled(!selected.isEmpty() && !IsBuiltInBrowser(selected.front()->text()));
}

void CDlgOptionsCapture::AddProgram(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  if (name.compare(QStringLiteral("Chrome.exe"), Qt::CaseInsensitive) == 0) {
    platform::ShowMessageBox("message", "Sorry, we do not support chrome now.", platform::MB_OK);
    return;
  }
  const QString row = QStringLiteral(" ") + name.toLower();
  QListWidgetItem* item = nullptr;
  for (int i = 0; i < list_->count() && !item; ++i) {
    if (list_->item(i)->text().compare(row, Qt::CaseInsensitive) == 0) item = list_->item(i);
  }
  if (!item) {
    item = new QListWidgetItem(row, list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  }
  item->setCheckState(Qt::Checked);
  list_->setCurrentItem(item);
  item->setSelected(true);
  UpdateRemoveEnabled();
}

void CDlgOptionsCapture::accept() {
  std::vector<BrowserEntry> browsers;
  for (int i = 0; i < list_->count(); ++i) {
    BrowserEntry entry;
    entry.Name = TrimBlanks(list_->item(i)->text().toStdString());
    if (entry.Name.empty()) continue;
    entry.Monitored = list_->item(i)->checkState() == Qt::Checked ? 1 : 0;
    browsers.push_back(entry);
  }
  if (MonitoredNames(browsers) != MonitoredNames(settings_.Browsers)) {
    platform::ShowMessageBox("Confirm", "The changes will take effect next time your start Tamborel.",
                             platform::MB_OK | platform::MB_ICONINFORMATION);
  }
  settings_.Browsers = std::move(browsers);
  QDialog::accept();
}
