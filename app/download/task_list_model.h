// One task list (All, Downloading, Completed or Deleted) as a Qt table model.
// Rows keep their cell texts, so painting never looks a task up, and a
// refresh reports only the cells whose text changed.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "app/download/task_rows.h"

class DataModel;
class DataRecord;
class SocketDownLoad;

class TaskListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Item data roles beyond Qt's own.
  enum Role { TaskIndexRole = Qt::UserRole + 1, PictureRole, ProgressRole };

  explicit TaskListModel(int category, QObject* parent = nullptr);

  int Category() const { return category_; }

  // Rebuilds the rows from the model: tasks of the category, newest SortIndex
  // on top, equal SortIndex in model order.
  void Fill(const DataModel& model);
  // Sets picture and cells of the task's row again; false when it has none.
  bool RefreshRow(const DataRecord& task);
  // Sets one cell, reporting the change only when the text differs.
  void SetCell(int row, int column, const std::string& text);
  void SetPicture(int row, int picture);

  // The per-second pass over Downloading rows: takes the workers' counters
  // into the tasks and shows them. `now` is the millisecond tick of the pass.
  using WorkerLookup = std::function<SocketDownLoad*(int32_t taskIndex)>;
  void RefreshRunning(DataModel& model, const WorkerLookup& workerOf, uint32_t now);

  int RowOf(int32_t taskIndex) const;
  int32_t TaskAt(int row) const;
  const std::string& CellText(int row, int column) const;
  int PictureAt(int row) const;
  std::vector<int32_t> Tasks() const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    int32_t taskIndex;
    int32_t sortIndex;
    int picture;
    RowCells cells;
  };
  void Reindex();

  int category_;
  std::vector<ColumnInfo> columns_;
  std::vector<Row> rows_;
  std::unordered_map<int32_t, int> rowOf_;
};
