#include "app/capture/popups/ccaptrue_history.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/capture/popups/cmultiline_list_ctrl.h"

CCaptrueHistory::CCaptrueHistory(CaptureHistoryFrame* frame, QWidget* parent) : QDialog(parent), frame_(frame) {
  setObjectName(QStringLiteral("138"));
  setWindowTitle(QStringLiteral("Capture History"));
  setSizeGripEnabled(true);  // the grip in the bottom right corner
  setAttribute(Qt::WA_DeleteOnClose);  // "Close" ends it; the frame makes a new one next time
  resize(560, 420);

  explanation_ = new QLabel(QStringLiteral(
      "Videos captured from your browsers that have not been downloaded yet. Select one and click "
      "\"Download...\" to download it."));
  explanation_->setObjectName(QStringLiteral("1117"));
  explanation_->setWordWrap(true);

  list_ = new CMultilineListCtrl;
  list_->setObjectName(QStringLiteral("1013"));
  list_->SetRecords(&records_);

  download_ = new QPushButton(QStringLiteral("Download..."));
  download_->setObjectName(QStringLiteral("1019"));
  download_->setEnabled(false);
  clear_ = new QPushButton(QStringLiteral("Clear all records"));
  clear_->setObjectName(QStringLiteral("1020"));
  close_ = new QPushButton(QStringLiteral("Close"));
  close_->setObjectName(QStringLiteral("2"));
  close_->setAutoDefault(false);

  // Layouts keep every control at its distance from the edges on resizing.
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(download_);
  buttons->addWidget(clear_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  buttons->addSpacing(14);  // room for the size grip
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation_);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { download_->setEnabled(SelectedRow() >= 0); });
  connect(download_, &QPushButton::clicked, this, &CCaptrueHistory::OnDownload);
  connect(clear_, &QPushButton::clicked, this, &CCaptrueHistory::OnClear);
  connect(close_, &QPushButton::clicked, this, &QDialog::close);
  connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });

  Refresh();
  refresh_.start(kRefreshMs);
}

int CCaptrueHistory::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

void CCaptrueHistory::SelectRow(int row) {
  QTreeWidgetItem* item = list_->topLevelItem(row);
  if (!item) return;
  list_->setCurrentItem(item);
  item->setSelected(true);
  list_->scrollToItem(item);
}

void CCaptrueHistory::Refresh(int selectRow) {
  int32_t selectedId = -1;
  if (const int row = SelectedRow(); row >= 0) selectedId = list_->topLevelItem(row)->data(0, Qt::UserRole).toInt();

  std::vector<CaptureHistoryRow> fresh;
  if (frame_) frame_->AttachHistory(fresh);
  records_ = std::move(fresh);

  const int count = static_cast<int>(records_.size());
  const QSignalBlocker quiet(list_);
  while (list_->topLevelItemCount() > count) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
  while (list_->topLevelItemCount() < count) list_->addTopLevelItem(new QTreeWidgetItem);
  list_->clearSelection();
  int rowOfSelectedId = -1;
  for (int j = 0; j < count; ++j) {
    const CaptureHistoryRow& record = records_[count - 1 - j];
    QTreeWidgetItem* item = list_->topLevelItem(j);
    item->setData(0, Qt::UserRole, record.id);
    item->setToolTip(1, QString::fromStdString(record.address));
    if (record.id == selectedId) rowOfSelectedId = j;
  }
  if (selectRow >= 0 && selectRow < count) SelectRow(selectRow);
  else if (rowOfSelectedId >= 0) SelectRow(rowOfSelectedId);
  list_->viewport()->update();
  download_->setEnabled(SelectedRow() >= 0);
}

void CCaptrueHistory::OnDownload() {
  const int row = SelectedRow();
  if (row < 0) return;
  const int32_t id = list_->topLevelItem(row)->data(0, Qt::UserRole).toInt();
  const bool wasLast = row == list_->topLevelItemCount() - 1;
  if (frame_) frame_->DownloadCapture(id);
  Refresh(wasLast ? row - 1 : row);
}

void CCaptrueHistory::OnClear() {
  if (frame_) frame_->ClearHistory();
  Refresh();
}
