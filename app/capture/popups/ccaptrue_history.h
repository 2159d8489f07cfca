// The capture history dialog: everything captured and not yet downloaded,
// newest first, refreshed from the frame every three seconds.
#pragma once

#include <QDialog>
#include <QTimer>

#include <vector>

#include "app/capture/popups/capture_history_row.h"

class CMultilineListCtrl;
class QLabel;
class QPushButton;

class CCaptrueHistory : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 3000;

  explicit CCaptrueHistory(CaptureHistoryFrame* frame, QWidget* parent = nullptr);

  // Copies the history again; selects `selectRow` when it exists, otherwise
  // the capture that was selected before when it is still there.
  void Refresh(int selectRow = -1);

  CMultilineListCtrl* List() const { return list_; }
  QPushButton* DownloadButton() const { return download_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* CloseButton() const { return close_; }
  const std::vector<CaptureHistoryRow>& Records() const { return records_; }

 private:
  void OnDownload();
  void OnClear();
  int SelectedRow() const;
  void SelectRow(int row);

  CaptureHistoryFrame* frame_;
  std::vector<CaptureHistoryRow> records_;  // the dialog's own copy, oldest first
  QLabel* explanation_;
  CMultilineListCtrl* list_;
  QPushButton* download_;
  QPushButton* clear_;
  QPushButton* close_;
  QTimer refresh_;
};
