#include "app/shell/dialogs/dlg_options_general.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/autostart.h"
#include "platform/file_system.h"

namespace {

QString PickFolder(QWidget* parent, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, QStringLiteral("Choose Directory"), start,
                                           QFileDialog::ShowDirsOnly);
}

QCheckBox* MakeBox(const char* text, const char* id, bool on, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(QString::fromLatin1(id));
  box->setChecked(on);
  return box;
}

}  // namespace

CDlgOptionsGeneral::CDlgOptionsGeneral(const Settings& settings, const QString& programPath,
                                       QWidget* parent)
    : COptionsPage(parent), programPath_(programPath), pickFolder_(PickFolder) {
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Save Path:"), this), 0, 0, 1, 2);
  savePath_ = new QLineEdit(QString::fromStdString(settings.SavePath), this);
  savePath_->setObjectName(QStringLiteral("1088"));
  layout->addWidget(savePath_, 1, 0);
  browse_ = new QPushButton(QStringLiteral("..."), this);
  browse_->setObjectName(QStringLiteral("1075"));
  browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
  layout->addWidget(browse_, 1, 1);
  layout->setRowMinimumHeight(2, 8);
  resume_ = MakeBox(" Resume in-progress download on startup.", "1089", settings.ResumeTask, this);
  autoStart_ = MakeBox(" Auto launch when Windows startup.", "1090", settings.AutoStart, this);
  showTaskWnd_ = MakeBox(" Show the \"New Task\" window before downloading.", "1080",
                         settings.ShowTaskWnd, this);
  layout->addWidget(resume_, 3, 0, 1, 2);
  layout->addWidget(autoStart_, 4, 0, 1, 2);
  layout->addWidget(showTaskWnd_, 5, 0, 1, 2);
  layout->setRowStretch(6, 1);
  connect(browse_, &QPushButton::clicked, this, &CDlgOptionsGeneral::Browse);
}

void CDlgOptionsGeneral::Browse() {
  QString chosen = pickFolder_(this, savePath_->text());
  if (!chosen.isEmpty()) savePath_->setText(chosen);
}

void CDlgOptionsGeneral::Apply(Settings& settings) {
  // An emptied field would make the root folder the save folder; the old
  // folder stays instead.
  std::string path = savePath_->text().toStdString();
  if (!path.empty()) {
    if (path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
    settings.SavePath = path;
  }
  settings.ResumeTask = resume_->isChecked() ? 1 : 0;
  settings.AutoStart = autoStart_->isChecked() ? 1 : 0;
  settings.ShowTaskWnd = showTaskWnd_->isChecked() ? 1 : 0;
  platform::SetAutoStart(settings.AutoStart != 0, programPath_.toStdString());
}
