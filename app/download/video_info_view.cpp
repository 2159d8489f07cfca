#include "app/download/video_info_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include "app/download/log_rows.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "platform/message_box.h"
#include "ui/tamborel_style.h"

namespace {
constexpr const char* kLogIcons[] = {"log_info", "log_ok", "log_warning", "log_error"};
enum { kCopy = 32861, kClear = 32862, kSelectAll = 32863, kSimple = 32864, kDetail = 32865 };
}  // namespace

CVideoInfoView::CVideoInfoView(DataModel& model, Settings& settings, QWidget* parent)
    : QTreeWidget(parent), model_(model), settings_(settings) {
  setColumnCount(2);
  setHeaderLabels({QStringLiteral(" Time "), QStringLiteral(" Information ")});
  header()->resizeSection(0, 180);
  header()->resizeSection(1, 480);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setIconSize(QSize(11, 11));
}

void CVideoInfoView::ShowLog(int32_t taskIndex) {
  const int32_t selected = selectedTask_ ? selectedTask_() : -1;
  if (taskIndex != -1 && taskIndex != selected) return;
  setUpdatesEnabled(false);
  clear();
  // The task's own log; none or several selected (or the task gone): the global log.
  const DataRecord* task = selected >= 0 ? model_.FindTask(selected) : nullptr;
  const std::vector<LogEntry>& log = task ? task->Log : model_.GlobalLog;
  int foreign = 0;
  std::vector<LogRow> rows = LogRowsOf(log, task ? task->TaskIndex : -1, settings_.DetailLog != 0, &foreign);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<int>(rows.size()));
  for (const LogRow& r : rows) {
    auto* item = new QTreeWidgetItem({QString::fromStdString(r.time), QString::fromStdString(r.text)});
    if (r.icon >= 0 && r.icon < 4) item->setIcon(0, ui::Picture(kLogIcons[r.icon]));
    items.append(item);
  }
  addTopLevelItems(items);
  if (!items.isEmpty()) scrollToItem(items.back());
  setUpdatesEnabled(true);
  // Lines of another task have no place here; once per pass is enough to say so.
  if (foreign > 0) platform::ShowMessageBox("Error", "Log task id error!", platform::MB_ICONERROR);
}

QString CVideoInfoView::SelectedText() const {
  QString text;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (item->isSelected()) text += item->text(0) + QLatin1Char(' ') + item->text(1) + QStringLiteral("\r\n");
  }
  return text;
}

void CVideoInfoView::Copy() { QApplication::clipboard()->setText(SelectedText()); }

void CVideoInfoView::Clear() {
  const int32_t selected = selectedTask_ ? selectedTask_() : -1;
  if (DataRecord* task = selected >= 0 ? model_.FindTask(selected) : nullptr) task->Log.clear();
  clear();
}

void CVideoInfoView::SelectAllRows() { selectAll(); }

void CVideoInfoView::SetDetailed(bool detailed) {
  settings_.DetailLog = detailed ? 1 : 0;
  ShowLog(-1);
}

QMenu* CVideoInfoView::BuildMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  auto add = [&](const char* text, int id, bool enabled) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setData(id);
    a->setEnabled(enabled);
    return a;
  };
  const bool empty = topLevelItemCount() == 0;
  add("Copy", kCopy, !selectedItems().isEmpty());
  add("Clear", kClear, !empty);
  add("Select All", kSelectAll, !empty);
  menu->addSeparator();
  QAction* simple = add("Simple log", kSimple, true);
  QAction* detail = add("Detail log", kDetail, true);
  simple->setCheckable(true);
  detail->setCheckable(true);
  simple->setChecked(settings_.DetailLog == 0);
  detail->setChecked(settings_.DetailLog != 0);
  connect(menu, &QMenu::triggered, this, [this](QAction* a) {
    switch (a->data().toInt()) {
      case kCopy: Copy(); break;
      case kClear: Clear(); break;
      case kSelectAll: SelectAllRows(); break;
      case kSimple: SetDetailed(false); break;
      case kDetail: SetDetailed(true); break;
    }
  });
  return menu;
}

void CVideoInfoView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = BuildMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}
