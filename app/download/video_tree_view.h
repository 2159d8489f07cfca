// The category tree, top left: "All Downloads" with its three children and
// their task counts. Choosing an item shows that category's list.
#pragma once

#include <QTreeWidget>

#include "core/data_model.h"

class CVideoTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit CVideoTreeView(QWidget* parent = nullptr);

  void SetCounts(int all, int downloading, int completed, int deleted);
  void SetCounts(const CategoryCounts& counts);
  // 1 selects the root, 2-4 the child with that category.
  void SelectCategory(int category);
  int SelectedCategory() const;
  QString ItemText(int category) const;

 signals:
  void CategoryChosen(int category);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QTreeWidgetItem* ItemOf(int category) const;
};
