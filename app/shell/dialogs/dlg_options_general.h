// "General": the save folder and what happens at start-up.
#pragma once

#include <QString>

#include <functional>

#include "app/shell/dialogs/options_page.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

class CDlgOptionsGeneral : public COptionsPage {
  Q_OBJECT
 public:
  // The folder picker: (parent, starting folder) -> chosen folder or empty.
  using FolderPicker = std::function<QString(QWidget*, const QString&)>;

  // `programPath` is what the autostart entry runs.
  CDlgOptionsGeneral(const Settings& settings, const QString& programPath, QWidget* parent);

  // Also writes or removes the autostart entry; its failure is silent.
  void Apply(Settings& settings) override;

  void SetFolderPicker(FolderPicker picker) { pickFolder_ = std::move(picker); }

  QLineEdit* savePathEdit() const { return savePath_; }
  QPushButton* browseButton() const { return browse_; }
  QCheckBox* resumeBox() const { return resume_; }
  QCheckBox* autoStartBox() const { return autoStart_; }
  QCheckBox* showTaskWndBox() const { return showTaskWnd_; }

 private:
  void Browse();

  QString programPath_;
  FolderPicker pickFolder_;
  QLineEdit* savePath_;
  QPushButton* browse_;
  QCheckBox* resume_;
  QCheckBox* autoStart_;
  QCheckBox* showTaskWnd_;
};
