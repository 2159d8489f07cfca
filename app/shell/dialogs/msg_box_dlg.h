// "Confirm": asked before tasks are deleted for good, with the choice to
// delete their files as well.
#pragma once

#include <QDialog>

#include <optional>

class QCheckBox;

class CMsgBoxDlg : public QDialog {
  Q_OBJECT
 public:
  // Runs the dialog modally: nullopt on Cancel, else whether the files go too.
  static std::optional<bool> Ask(QWidget* parent);

  explicit CMsgBoxDlg(QWidget* parent = nullptr);

  bool DeleteFiles() const;
  QCheckBox* deleteFilesBox() const { return deleteFiles_; }

 private:
  QCheckBox* deleteFiles_;
};
