// "New Download": the address, folder, file name, referer and comment of a
// new download, checked before it is accepted. The same dialog shows an
// existing task read-only ("View Property").
#pragma once

#include <QDialog>

#include "app/shell/folder_history.h"
#include "core/add_task.h"
#include "core/data_record.h"

class DataModel;
class KeyValueStore;
class Settings;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CNewTaskDlg : public QDialog, public NewDownloadDialog {
  Q_OBJECT
 public:
  CNewTaskDlg(const DataModel& model, const Settings& settings, KeyValueStore& store, QWidget* parent = nullptr);

  // NewDownloadDialog: opens modally in new mode.
  bool Show(const TaskRequest* incoming, TaskRequest& result) override;
  // Opens modally as the read-only view of a task.
  void ShowProperty(const DataRecord& task);

  // The steps of Show, for callers that drive the dialog themselves.
  void OpenNew(const TaskRequest* incoming);
  void OpenProperty(const DataRecord& task);
  // The OK checks; true (and Result() filled, history saved) when they pass.
  bool TryAccept();
  const TaskRequest& Result() const { return result_; }

  void SetSimple(bool simple);
  bool IsSimple() const { return simple_; }
  // Replaces the folder text with the chosen folder, ending in one separator.
  void TakeBrowsedFolder(const QString& folder);

  QLineEdit* UrlEdit() const { return url_; }
  QComboBox* FolderBox() const { return folder_; }
  QLineEdit* FileNameEdit() const { return fileName_; }
  QLineEdit* RefererEdit() const { return referer_; }
  QPlainTextEdit* CommentEdit() const { return comment_; }
  QPushButton* ToggleButton() const { return toggle_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  QGroupBox* Frame() const { return frame_; }
  const FolderHistory& History() const { return history_; }

 private:
  void Browse();
  void UrlEdited();
  void PlaceButtons();

  const DataModel& model_;
  const Settings& settings_;
  KeyValueStore& store_;
  FolderHistory history_;
  bool propertyMode_ = false;
  bool simple_ = true;
  TaskRequest incoming_;
  bool hasIncoming_ = false;
  TaskRequest result_;

  QGroupBox* frame_;
  QLabel* urlLabel_;
  QLabel* folderLabel_;
  QLabel* fileLabel_;
  QLabel* refererLabel_;
  QLabel* commentLabel_;
  QLineEdit* url_;
  QComboBox* folder_;
  QPushButton* browse_;
  QLineEdit* fileName_;
  QLineEdit* referer_;
  QPlainTextEdit* comment_;
  QPushButton* toggle_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
