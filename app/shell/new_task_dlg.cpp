#include "app/shell/new_task_dlg.h"

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/shell/new_task_checks.h"
#include "core/ansi_text.h"
#include "core/data_model.h"
#include "core/save_name.h"
#include "core/settings.h"
#include "core/temp_name.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace {

constexpr int kLabelX = 22, kLabelW = 64, kFieldX = 90, kFieldW = 366, kRowH = 24;
constexpr int kButtonW = 86, kButtonH = 26;
constexpr int kToggleX = 20, kOkX = 276, kCancelX = 370;

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

}  // namespace

CNewTaskDlg::CNewTaskDlg(const DataModel& model, const Settings& settings, KeyValueStore& store, QWidget* parent)
    : QDialog(parent), model_(model), settings_(settings), store_(store) {
  setWindowTitle(QStringLiteral("New Download"));
  history_.Load(store_);

  frame_ = new QGroupBox(this);
  auto label = [this](const char* text, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(kLabelX, y, kLabelW, kRowH);
    return l;
  };
  urlLabel_ = label("URL", 24);
  folderLabel_ = label("Save to", 56);
  fileLabel_ = label("File name", 88);
  refererLabel_ = label("Referer", 120);
  commentLabel_ = label("Comment", 152);

  url_ = new QLineEdit(this);
  url_->setGeometry(kFieldX, 24, kFieldW, kRowH);
  folder_ = new QComboBox(this);
  folder_->setEditable(true);
  folder_->setInsertPolicy(QComboBox::NoInsert);
  folder_->setGeometry(kFieldX, 56, kFieldW - 36, kRowH);
  browse_ = new QPushButton(QStringLiteral("..."), this);
  browse_->setGeometry(kFieldX + kFieldW - 30, 56, 30, kRowH);
  fileName_ = new QLineEdit(this);
  fileName_->setGeometry(kFieldX, 88, kFieldW, kRowH);
  referer_ = new QLineEdit(this);
  referer_->setGeometry(kFieldX, 120, kFieldW, kRowH);
  comment_ = new QPlainTextEdit(this);
  comment_->setGeometry(kFieldX, 152, kFieldW, 78);

  toggle_ = new QPushButton(this);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  ok_->setDefault(true);

  connect(browse_, &QPushButton::clicked, this, &CNewTaskDlg::Browse);
  connect(toggle_, &QPushButton::clicked, this, [this] { SetSimple(!simple_); });
  connect(ok_, &QPushButton::clicked, this, [this] {
    if (propertyMode_ || TryAccept()) accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(url_, &QLineEdit::textEdited, this, &CNewTaskDlg::UrlEdited);
  SetSimple(true);
}

bool CNewTaskDlg::Show(const TaskRequest* incoming, TaskRequest& result) {
  OpenNew(incoming);
  if (exec() != QDialog::Accepted) return false;
  result = result_;
  return true;
}

void CNewTaskDlg::ShowProperty(const DataRecord& task) {
  OpenProperty(task);
  exec();
}

void CNewTaskDlg::OpenNew(const TaskRequest* incoming) {
  propertyMode_ = false;
  hasIncoming_ = incoming != nullptr;
  if (incoming) incoming_ = *incoming;
  // The current save folder first, then the history; the combo's own search ignores case.
  FolderHistory offered = history_;
  offered.Add(settings_.SavePath);
  folder_->clear();
  for (const std::string& dir : offered.Folders()) {
    const QString text = QString::fromStdString(dir);
    if (folder_->findText(text, Qt::MatchFixedString) < 0) folder_->addItem(text);
  }
  folder_->setCurrentIndex(0);

  std::string url;
  std::string hint;
  if (incoming) {
    url = incoming->URL;
    referer_->setText(QString::fromStdString(incoming->Referer));
    hint = incoming->ExtHint;
  } else {
    url = UrlFromClipboard(QApplication::clipboard()->text().toStdString());
  }
  url_->setText(QString::fromStdString(url));
  fileName_->setText(QString::fromStdString(MakeSaveName(url, settings_.SavePath, hint, model_)));
  folder_->lineEdit()->setCursorPosition(0);
  url_->setFocus();
  url_->selectAll();
  SetSimple(simple_);
}

void CNewTaskDlg::OpenProperty(const DataRecord& task) {
  propertyMode_ = true;
  setWindowTitle(QStringLiteral("View Property"));
  url_->setText(QString::fromStdString(task.URL));
  referer_->setText(QString::fromStdString(task.Referer));
  folder_->clear();
  folder_->addItem(QString::fromStdString(task.SaveDir));
  fileName_->setText(QString::fromStdString(task.FileName));
  comment_->setPlainText(QString::fromStdString(task.Comment));
  for (QLineEdit* e : {url_, fileName_, referer_}) e->setReadOnly(true);
  comment_->setReadOnly(true);
  folder_->setEnabled(false);
  browse_->setEnabled(false);
  cancel_->hide();
  SetSimple(simple_);
}

void CNewTaskDlg::UrlEdited() {
  if (propertyMode_) return;
  fileName_->setText(QString::fromStdString(
      MakeSaveName(Text(url_), folder_->currentText().toStdString(), std::string(), model_)));
}

void CNewTaskDlg::SetSimple(bool simple) {
  simple_ = simple;
  for (QWidget* w : std::initializer_list<QWidget*>{referer_, refererLabel_, comment_, commentLabel_})
    w->setVisible(!simple);
  setFixedSize(490, simple ? 220 : 320);
  frame_->setGeometry(10, 6, 460, simple ? 130 : 240);
  toggle_->setText(simple ? QStringLiteral("Advanced >>") : QStringLiteral("Simple <<"));
  PlaceButtons();
}

void CNewTaskDlg::PlaceButtons() {
  const int y = simple_ ? 150 : 250;
  const int shift = propertyMode_ ? 80 : 0;
  toggle_->setGeometry(kToggleX + shift, y, kButtonW + 10, kButtonH);
  ok_->setGeometry(kOkX + shift, y, kButtonW, kButtonH);
  cancel_->setGeometry(kCancelX + shift, y, kButtonW, kButtonH);
}

void CNewTaskDlg::Browse() {
  QString start = folder_->currentText();
  if (start.isEmpty() && hasIncoming_) start = QString::fromStdString(incoming_.SaveDir);
  QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("select a folder"), start,
                                                     QFileDialog::ShowDirsOnly);
  if (!chosen.isEmpty()) TakeBrowsedFolder(chosen);
}

void CNewTaskDlg::TakeBrowsedFolder(const QString& folder) {
  QString text = folder;
  while (text.size() > 1 && text.endsWith(QLatin1Char('/'))) text.chop(1);
  if (!text.endsWith(QLatin1Char('/'))) text += QLatin1Char('/');
  folder_->setEditText(text);
}

bool CNewTaskDlg::TryAccept() {
  using namespace platform;
  const std::string url = TrimBlanks(Text(url_));
  std::string folder = TrimBlanks(folder_->currentText().toStdString());
  const std::string fileName = TrimBlanks(Text(fileName_));
  const std::string referer = TrimBlanks(Text(referer_));
  const std::string comment = TrimBlanks(comment_->toPlainText().toStdString());
  if (!folder.empty() && folder.back() != kPathSeparator) folder += kPathSeparator;

  if (url.empty()) {
    ShowMessageBox("Error", "Please enter a valid URL.", MB_ICONERROR);
    return false;
  }
  if (!IsWellFormedUrl(url)) {
    ShowMessageBox("Error",
                   "Please enter a valid URL. Be sure to add \"http://\" or \"rtmp://\" at the header of the url.",
                   MB_ICONERROR);
    return false;
  }
  if (folder.empty()) {
    ShowMessageBox("Error", "Please select a folder.", MB_ICONINFORMATION);
    return false;
  }
  if (!FileExists(folder)) {
    if (ShowMessageBox("Confirm", "Directory \"" + folder + "\" does not exist. Would you like to create it now?",
                       MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return false;
    }
    ::mkdir(folder.c_str(), 0755);  // one level; a failure shows later
  }
  if (!IsValidFileName(fileName)) {
    ShowMessageBox("Error",
                   "Please enter a valid file name. File name can not contain the following characters ' \\/:*?><|%\" '",
                   MB_ICONERROR);
    return false;
  }
  TempNameRandom random(TimeSeed());
  std::string tempName;
  if (!MakeTempFileName(folder, fileName, random, &model_, tempName)) {
    ShowMessageBox("Error", "Failed to make a temporary file name.", MB_ICONERROR);
    return false;
  }

  result_ = hasIncoming_ ? incoming_ : TaskRequest{};
  result_.StartFlag = 1;
  result_.URL = url;
  result_.SaveDir = folder;
  result_.FileName = fileName;
  result_.TempFile = tempName;
  if (!referer.empty()) result_.Referer = referer;
  if (!comment.empty()) result_.Comment = comment;
  history_.Add(folder);
  history_.Save(store_);
  return true;
}
