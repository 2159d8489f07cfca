// The capture history's list: rows of 58 pixels with a thumbnail and two
// lines of text, newest capture on top.
#pragma once

#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <vector>

#include "app/capture/popups/capture_history_row.h"

class CMultilineListCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int kRowHeight = 58;
  static constexpr int kThumbnailColumnWidth = 84;

  explicit CMultilineListCtrl(QWidget* parent = nullptr);

  // Row j shows rows[count - 1 - j]; the list keeps a pointer to them.
  void SetRecords(const std::vector<CaptureHistoryRow>* rows);
  const CaptureHistoryRow* RecordOfRow(int row) const;

  // The text of column 1, and the address as it fits `width` pixels.
  static QString RowText(const CaptureHistoryRow& record, const QString& shownAddress);
  static QString FitAddress(const QString& address, const QFontMetrics& metrics, int width);

 private:
  const std::vector<CaptureHistoryRow>* records_ = nullptr;
};
