#include "app/download/task_list_model.h"

#include <algorithm>
#include <cstdio>

#include "core/data_model.h"
#include "core/format.h"
#include "http/socket_download.h"

TaskListModel::TaskListModel(int category, QObject* parent)
    : QAbstractTableModel(parent), category_(category), columns_(CategoryColumns(category)) {}

void TaskListModel::Fill(const DataModel& model) {
  beginResetModel();
  rows_.clear();
  for (const DataRecord& t : model.tasks) {
    if (!StatusInCategory(t.DownStatus, category_)) continue;
    rows_.push_back(Row{t.TaskIndex, t.SortIndex, PictureOfStatus(t.DownStatus), CellsOf(t, category_)});
  }
  // Newest first; a stable sort keeps model order among equal SortIndex.
  std::stable_sort(rows_.begin(), rows_.end(),
                   [](const Row& a, const Row& b) { return a.sortIndex > b.sortIndex; });
  Reindex();
  endResetModel();
}

void TaskListModel::Reindex() {
  rowOf_.clear();
  rowOf_.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) rowOf_[rows_[i].taskIndex] = static_cast<int>(i);
}

bool TaskListModel::RefreshRow(const DataRecord& task) {
  int row = RowOf(task.TaskIndex);
  if (row < 0) return false;
  SetPicture(row, PictureOfStatus(task.DownStatus));
  RowCells cells = CellsOf(task, category_);
  for (int c = 0; c < static_cast<int>(columns_.size()); ++c) SetCell(row, c, cells[c]);
  return true;
}

void TaskListModel::SetCell(int row, int column, const std::string& text) {
  std::string& cell = rows_[row].cells[column];
  if (cell == text) return;
  cell = text;
  QModelIndex i = index(row, column);
  emit dataChanged(i, i, {Qt::DisplayRole});
}

void TaskListModel::SetPicture(int row, int picture) {
  if (rows_[row].picture == picture) return;
  rows_[row].picture = picture;
  QModelIndex first = index(row, 0);
  emit dataChanged(first, index(row, columnCount() - 1), {Qt::DecorationRole});
}

void TaskListModel::RefreshRunning(DataModel& model, const WorkerLookup& workerOf, uint32_t now) {
  if (category_ != kCategoryAll && category_ != kCategoryDownloading) return;
  for (DataRecord& t : model.tasks) {
    if (t.DownStatus != Downloading) continue;
    int row = RowOf(t.TaskIndex);
    if (row < 0) continue;
    SocketDownLoad* w = workerOf(t.TaskIndex);
    if (!w) continue;

    SetPicture(row, kPictureDownloading);
    SetCell(row, 0, t.FileName);
    SetCell(row, 1, SizeOrUnknown(t.FileBytes));

    const int64_t speed = w->speed;
    std::string speedText = FormatSpeed(speed > 0 ? static_cast<uint64_t>(speed) : 0);
    SetCell(row, 4, speedText);
    t.SpeedText = speedText;

    const uint32_t start = w->startTick;
    if (start != 0) {
      std::string elapsed = FormatSeconds(static_cast<int64_t>(static_cast<uint32_t>(now - start) / 1000));
      SetCell(row, 5, elapsed);
      t.ElapsedText = elapsed;
    }

    t.Speed = speed;
    t.FileBytes = w->totalSize;
    t.DownBytes = w->downloaded;
    const int64_t total = t.FileBytes, done = t.DownBytes;

    std::string left;
    if (speed == 0) {
      left = "??:??:??";
    } else if (total == 0) {
      int32_t seconds = !w->RTMPHost.empty() ? w->streamTimeLeft.load()
                        : !w->RTMPTHost.empty() ? w->tunnelTimeLeft.load() : 0;
      left = seconds != 0 ? FormatSeconds(seconds) : "??:??:??";
    } else if (total >= done) {
      left = FormatSeconds((total - done) / speed);
    }
    if (!left.empty()) SetCell(row, 6, left);
    t.TimeLeftText = left;

    t.StatusText = "Receiving data";

    std::string progress;
    if (total != 0) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%4.2f", static_cast<double>(done) / static_cast<double>(total) * 100.0);
      progress = buf;
    } else {
      progress = !w->RTMPHost.empty() ? w->StreamProgress() : !w->RTMPTHost.empty() ? w->TunnelProgress() : "";
    }
    SetCell(row, 3, progress);
    t.Progress = progress;

    SetCell(row, 2, SizeText(t.DownBytes));
    SetCell(row, 7, t.StatusText);
    SetCell(row, 8, t.URL);
  }
}

int TaskListModel::RowOf(int32_t taskIndex) const {
  auto it = rowOf_.find(taskIndex);
  return it == rowOf_.end() ? -1 : it->second;
}

int32_t TaskListModel::TaskAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].taskIndex : -1;
}

const std::string& TaskListModel::CellText(int row, int column) const { return rows_[row].cells[column]; }

int TaskListModel::PictureAt(int row) const { return rows_[row].picture; }

std::vector<int32_t> TaskListModel::Tasks() const {
  std::vector<int32_t> out;
  out.reserve(rows_.size());
  for (const Row& r : rows_) out.push_back(r.taskIndex);
  return out;
}

int TaskListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TaskListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& r = rows_[index.row()];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return QString::fromStdString(r.cells[index.column()]);
    case Qt::TextAlignmentRole: {
      CellAlign a = columns_[index.column()].align;
      Qt::Alignment h = a == CellAlign::Right ? Qt::AlignRight : a == CellAlign::Centre ? Qt::AlignHCenter
                                                                                         : Qt::AlignLeft;
      return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case TaskIndexRole: return r.taskIndex;
    case PictureRole: return r.picture;
    case ProgressRole: return index.column() == ProgressColumn(category_);
    default: return {};
  }
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns_.size())) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(columns_[section].header);
  if (role == Qt::TextAlignmentRole) {
    CellAlign a = columns_[section].align;
    return QVariant::fromValue((a == CellAlign::Right    ? Qt::AlignRight
                                : a == CellAlign::Centre ? Qt::AlignHCenter
                                                         : Qt::AlignLeft) |
                               Qt::AlignVCenter);
  }
  return {};
}
