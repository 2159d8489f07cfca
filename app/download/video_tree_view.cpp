#include "app/download/video_tree_view.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/download/task_rows.h"
#include "ui/tamborel_style.h"

namespace {

// Selected items: the accent background, text one pixel inside, a focus frame.
class TreeItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const bool selected = o.state & QStyle::State_Selected;
    p->save();
    p->fillRect(o.rect, selected ? ui::AccentColor() : QColor(Qt::white));
    QRect r = o.rect.adjusted(1, 1, -1, -1);
    const int iconSize = o.decorationSize.height();
    if (!o.icon.isNull()) {
      o.icon.paint(p, QRect(r.left() + 2, r.top() + (r.height() - iconSize) / 2, iconSize, iconSize));
    }
    p->setPen(Qt::black);
    p->setFont(o.font);
    p->drawText(r.adjusted(iconSize + 6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, o.text);
    if (selected) {
      p->setPen(QPen(QColor(120, 140, 90), 1, Qt::DotLine));
      p->drawRect(o.rect.adjusted(0, 0, -1, -1));
    }
    p->restore();
  }
};

constexpr const char* kTexts[] = {"All Downloads (%1)", "Downloading (%1)", "Completed (%1)", "Deleted (%1)"};
constexpr const char* kIcons[] = {"tree_all", "tree_downloading", "tree_completed", "tree_deleted"};

}  // namespace

CVideoTreeView::CVideoTreeView(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setItemDelegate(new TreeItemDelegate(this));
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(13);
  setFont(f);
  setIconSize(QSize(16, 16));
  setStyleSheet(QStringLiteral("QTreeWidget { background: white; color: black; border: none; }"));
  auto* root = new QTreeWidgetItem(this);
  root->setData(0, Qt::UserRole, kCategoryAll);
  for (int c = kCategoryDownloading; c <= kCategoryDeleted; ++c) {
    auto* child = new QTreeWidgetItem(root);
    child->setData(0, Qt::UserRole, c);
  }
  for (int c = kCategoryAll; c <= kCategoryDeleted; ++c) ItemOf(c)->setIcon(0, ui::Picture(kIcons[c - 1]));
  root->setExpanded(true);
  SetCounts(0, 0, 0, 0);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (item) emit CategoryChosen(item->data(0, Qt::UserRole).toInt());
  });
}

QTreeWidgetItem* CVideoTreeView::ItemOf(int category) const {
  QTreeWidgetItem* root = topLevelItem(0);
  if (category == kCategoryAll) return root;
  for (int i = 0; i < root->childCount(); ++i)
    if (root->child(i)->data(0, Qt::UserRole).toInt() == category) return root->child(i);
  return nullptr;
}

void CVideoTreeView::SetCounts(int all, int downloading, int completed, int deleted) {
  const int counts[] = {all, downloading, completed, deleted};
  for (int c = kCategoryAll; c <= kCategoryDeleted; ++c)
    ItemOf(c)->setText(0, QString::fromLatin1(kTexts[c - 1]).arg(counts[c - 1]));
}

void CVideoTreeView::SetCounts(const CategoryCounts& n) {
  SetCounts(n.downloading + n.completed, n.downloading, n.completed, n.deleted);
}

void CVideoTreeView::SelectCategory(int category) {
  if (QTreeWidgetItem* item = ItemOf(category)) setCurrentItem(item);
}

int CVideoTreeView::SelectedCategory() const {
  QTreeWidgetItem* item = currentItem();
  return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

QString CVideoTreeView::ItemText(int category) const {
  QTreeWidgetItem* item = ItemOf(category);
  return item ? item->text(0) : QString();
}

void CVideoTreeView::mousePressEvent(QMouseEvent* event) {
  // A right click first selects the item under the pointer.
  if (event->button() == Qt::RightButton) {
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
    return;
  }
  QTreeWidget::mousePressEvent(event);
}
