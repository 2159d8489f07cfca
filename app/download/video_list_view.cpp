#include "app/download/video_list_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>

#include "app/download/desktop_launcher.h"
#include "app/download/task_list_model.h"
#include "app/download/task_runner.h"
#include "app/download/task_rows.h"
#include "core/ansi_text.h"
#include "core/data_model.h"
#include "core/program_dir.h"
#include "core/settings.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "ui/tamborel_style.h"

namespace {

enum Cmd {
  kStart = 32775, kStop = 32776, kStartAll = 32777, kStopAll = 32778, kDownloadAgain = 32779,
  kDelete = 32780, kOpenFolder = 32781, kOpenFile = 32782, kCopyUrl = 32783, kProperties = 32784,
  kRestore = 32854,
};
constexpr uint32_t kSelectAllMsg = 2294, kDeleteSelectedMsg = 2295;

constexpr const char* kStatusPictures[] = {"status_failed", "status_downloading", "status_paused",
                                           "status_finished", "status_stopping"};

// Status picture in the name column; the progress column drawn as a bar
// whose colour follows the row's state.
class TaskRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void initStyleOption(QStyleOptionViewItem* o, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(o, index);
    if (index.column() == 0) {
      int picture = index.data(TaskListModel::PictureRole).toInt();
      if (picture >= 0 && picture < 5) {
        static const std::array<QIcon, 5> icons = [] {
          std::array<QIcon, 5> a;
          for (int i = 0; i < 5; ++i) a[i] = ui::Picture(kStatusPictures[i]);
          return a;
        }();
        o->icon = icons[picture];
        o->features |= QStyleOptionViewItem::HasDecoration;
        o->decorationSize = QSize(16, 16);
      }
    }
  }

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.data(TaskListModel::ProgressRole).toBool()) {
      QStyledItemDelegate::paint(p, option, index);
      return;
    }
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    o.text.clear();
    QStyledItemDelegate::paint(p, o, index);  // background and selection
    const QString text = index.data(Qt::DisplayRole).toString();
    bool numeric = false;
    double percent = QString(text).remove(QLatin1Char('%')).trimmed().toDouble(&numeric);
    if (!numeric) percent = 0;
    percent = std::clamp(percent, 0.0, 100.0);
    QColor fill;
    switch (index.data(TaskListModel::PictureRole).toInt()) {
      case kPictureFailed: fill = QColor(214, 120, 110); break;
      case kPictureDownloading: fill = QColor(120, 178, 92); break;
      case kPicturePaused: fill = QColor(226, 186, 104); break;
      case kPictureFinished: fill = QColor(110, 156, 206); break;
      default: fill = QColor(170, 175, 182); break;
    }
    QRect bar = option.rect.adjusted(3, 3, -3, -3);
    p->save();
    p->setPen(QColor(190, 196, 186));
    p->setBrush(Qt::white);
    p->drawRect(bar.adjusted(0, 0, -1, -1));
    QRect done = bar.adjusted(1, 1, -1, -1);
    done.setWidth(static_cast<int>(done.width() * percent / 100.0));
    p->fillRect(done, fill);
    p->setPen(Qt::black);
    p->drawText(bar, Qt::AlignCenter, numeric ? text + QLatin1Char('%') : text);
    p->restore();
  }
};

}  // namespace

CVideoListView::CVideoListView(DataModel& model, Settings& settings, ListViewHost& host,
                               DesktopLauncher& launcher, QWidget* parent)
    : QWidget(parent), model_(model), settings_(settings), host_(host), launcher_(launcher) {
  stack_ = new QStackedLayout(this);
  stack_->setContentsMargins(0, 0, 0, 0);
  for (int c = kCategoryAll; c <= kCategoryDeleted; ++c) {
    auto* list = new QTreeView(this);
    auto* m = new TaskListModel(c, list);
    list->setModel(m);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);  // needed for lists of thousands of rows
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTextElideMode(Qt::ElideRight);
    list->setItemDelegate(new TaskRowDelegate(list));
    list->setContextMenuPolicy(Qt::DefaultContextMenu);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    std::vector<ColumnInfo> cols = CategoryColumns(c);
    for (int i = 0; i < static_cast<int>(cols.size()); ++i) list->header()->resizeSection(i, cols[i].width);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, c] {
      if (c == shown_ && !filling_) SelectionChanged();
    });
    connect(list, &QTreeView::doubleClicked, this, [this, c](const QModelIndex& i) {
      if (c == shown_) DoubleClickRow(i.row());
    });
    lists_[c - 1] = list;
    models_[c - 1] = m;
    stack_->addWidget(list);
  }
  stack_->setCurrentWidget(lists_[kCategoryDownloading - 1]);
}

CVideoListView::~CVideoListView() = default;

QTreeView* CVideoListView::ListWidget(int category) const {
  return category >= 1 && category <= 4 ? lists_[category - 1] : nullptr;
}

TaskListModel* CVideoListView::ListModel(int category) const {
  return category >= 1 && category <= 4 ? models_[category - 1] : nullptr;
}

void CVideoListView::ShowCategory(int category) {
  if (!ListWidget(category)) return;
  shown_ = category;
  filling_ = true;
  ListModel(category)->Fill(model_);
  ShownList()->selectionModel()->clear();
  filling_ = false;
  stack_->setCurrentWidget(ShownList());
  SelectionChanged();
}

void CVideoListView::FillCategoryList(int category) {
  QTreeView* list = ListWidget(category);
  TaskListModel* m = ListModel(category);
  if (!list) return;
  // Selection and focus survive the refill by TaskIndex.
  std::vector<int32_t> selected;
  for (int row : (category == shown_ ? SelectedRowNumbers() : std::vector<int>{})) selected.push_back(m->TaskAt(row));
  const int32_t focused = list->currentIndex().isValid() ? m->TaskAt(list->currentIndex().row()) : -1;
  filling_ = true;
  list->setUpdatesEnabled(false);
  m->Fill(model_);
  QItemSelection sel;
  for (int32_t t : selected) {
    int row = m->RowOf(t);
    if (row >= 0) sel.select(m->index(row, 0), m->index(row, m->columnCount() - 1));
  }
  const int focusRow = m->RowOf(focused);
  if (focusRow >= 0) list->selectionModel()->setCurrentIndex(m->index(focusRow, 0), QItemSelectionModel::NoUpdate);
  list->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  list->setUpdatesEnabled(true);
  filling_ = false;
}

void CVideoListView::RefreshRunning(uint32_t nowMs) {
  if (shown_ != kCategoryAll && shown_ != kCategoryDownloading) return;
  // The view gathers the changed cells into one repaint of their rows; a
  // full redraw around the pass would only cost more.
  ShownModel()->RefreshRunning(
      model_, [this](int32_t t) { return runner_ ? runner_->FindWorker(t) : nullptr; }, nowMs);
}

std::vector<int> CVideoListView::SelectedRowNumbers() const {
  std::vector<int> rows;
  for (const QModelIndex& i : ShownList()->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

int32_t CVideoListView::SelectedTask() const {
  std::vector<int> rows = SelectedRowNumbers();
  return rows.size() == 1 ? ShownModel()->TaskAt(rows[0]) : -1;
}

std::vector<int32_t> CVideoListView::SelectedStatuses() const {
  std::vector<int32_t> out;
  for (int32_t t : SelectedRows()) out.push_back(model_.GetDownStatus(t));
  return out;
}

bool CVideoListView::CommandEnabled(int commandId) const {
  return TaskCommandEnabled(commandId, SelectedStatuses());
}

int32_t CVideoListView::TaskAtSelectionMark() const {
  QModelIndex current = ShownList()->currentIndex();
  if (current.isValid() && ShownList()->selectionModel()->isRowSelected(current.row(), {}))
    return ShownModel()->TaskAt(current.row());
  std::vector<int> rows = SelectedRowNumbers();
  return rows.empty() ? -1 : ShownModel()->TaskAt(rows[0]);
}

void CVideoListView::SelectionChanged() {
  std::vector<int> rows = SelectedRowNumbers();
  if (rows.size() == 1) {
    const int32_t t = ShownModel()->TaskAt(rows[0]);
    host_.ShowLog(t);
    const DataRecord* task = model_.FindTask(t);
    const bool finished = task && (task->DownStatus == Completed || task->DownStatus == DeletedCompleted);
    host_.PreviewFile(finished ? DataModel::FinalPath(*task) : std::string(), t);
  } else {
    host_.ShowLog(-1);
    host_.PreviewFile(std::string(), -1);
  }
}

void CVideoListView::ShowTask(int32_t taskIndex) {
  const int32_t status = model_.GetDownStatus(taskIndex);
  if (status < 0) return;
  host_.SelectTreeCategory(CategoryForShowTask(status));
  ShownList()->setFocus();
  SelectTask(taskIndex);
}

bool CVideoListView::SelectTask(int32_t taskIndex) {
  const int row = ShownModel()->RowOf(taskIndex);
  if (row < 0) return false;
  QModelIndex i = ShownModel()->index(row, 0);
  ShownList()->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ShownList()->scrollTo(i);
  return true;
}

void CVideoListView::SelectAllTasks() { ShownList()->selectAll(); }

void CVideoListView::UpdateMediaInfo(int32_t taskIndex) {
  if (shown_ != kCategoryCompleted) return;
  if (const DataRecord* task = model_.FindTask(taskIndex)) ShownModel()->RefreshRow(*task);
}

void CVideoListView::OnCommand(int id) {
  switch (id) {
    case kStart: if (runner_) runner_->Start(); break;
    case kStop: if (runner_) runner_->Stop(); break;
    case kStartAll: if (runner_) runner_->StartAll(); break;
    case kStopAll: if (runner_) runner_->StopAll(); break;
    case kDownloadAgain: if (runner_) runner_->DownloadAgain(); break;
    case kDelete: if (runner_) runner_->Delete(); break;
    case kRestore: if (runner_) runner_->Restore(); break;
    case kOpenFile: OpenFile(); break;
    case kOpenFolder: OpenFolder(); break;
    case kCopyUrl: CopyUrl(); break;
    case kProperties: Properties(); break;
    default: break;
  }
}

void CVideoListView::OpenFile() {
  ClearPreview();
  const DataRecord* task = model_.FindTask(TaskAtSelectionMark());
  const bool finished = task && (task->DownStatus == Completed || task->DownStatus == DeletedCompleted);
  const std::string path = finished ? DataModel::FinalPath(*task) : std::string();
  if (path.empty()) {
    platform::ShowMessageBox("Error", "Failed to open file.", platform::MB_ICONERROR);
    return;
  }
  if (!platform::FileExists(path)) {
    platform::ShowMessageBox("Error", "The file does not exist.", platform::MB_ICONERROR);
    return;
  }
  const std::string trimmed = TrimBlanks(path);
  if (EndsWithNoCase(trimmed, ".flv") || EndsWithNoCase(trimmed, ".mp4")) {
    const std::string dir = GetProgramDir();
    if (dir.empty()) {
      platform::ShowMessageBox("Error", "Failed to open folder.", platform::MB_ICONERROR);
      return;
    }
    // The player from the program folder; until it is there, the desktop's choice.
    const std::string player = dir + "Pellumo";
    if (platform::FileExists(player) && launcher_.StartProgram(player, path)) return;
    launcher_.OpenWithDefault(path);
    return;
  }
  if (settings_.WarnOnExecutable && EndsWithNoCase(path, ".exe") &&
      platform::ShowMessageBox("Confirm", "Sure to open an execute file, that may damage your computer",
                               platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES) {
    return;
  }
  launcher_.OpenWithDefault(path);
}

void CVideoListView::OpenFolder() {
  const DataRecord* task = model_.FindTask(TaskAtSelectionMark());
  if (!task) {
    platform::ShowMessageBox("Error", "Failed to open folder.", platform::MB_ICONERROR);
    return;
  }
  const std::string path = DataModel::FinalPath(*task);
  if (platform::FileExists(path)) {
    launcher_.ShowInFolder(path);
  } else {
    launcher_.OpenWithDefault(task->SaveDir);
  }
}

void CVideoListView::CopyUrl() {
  std::vector<int> rows = SelectedRowNumbers();
  if (rows.empty()) return;
  const int column = UrlColumn(shown_);
  std::vector<std::string> urls;
  for (int row : rows) urls.push_back(ShownModel()->CellText(row, column));
  QApplication::clipboard()->setText(QString::fromStdString(UrlLines(urls)));
}

void CVideoListView::Properties() {
  if (const DataRecord* task = model_.FindTask(TaskAtSelectionMark())) host_.ShowProperties(*task);
}

void CVideoListView::DoubleClickRow(int row) {
  const int32_t t = ShownModel()->TaskAt(row);
  switch (DoubleClickActionFor(shown_, model_.GetDownStatus(t), settings_)) {
    case DoubleClickAction::OpenFile: OpenFile(); break;
    case DoubleClickAction::Properties: Properties(); break;
    case DoubleClickAction::Nothing: break;
  }
}

QMenu* CVideoListView::PrepareContextMenu(const QPoint& viewportPos) {
  QTreeView* list = ShownList();
  QModelIndex at = list->indexAt(viewportPos);
  QItemSelectionModel* sel = list->selectionModel();
  // A click beside the selection starts a new one with the clicked row.
  if (!at.isValid() || !sel->isRowSelected(at.row(), {})) sel->clearSelection();
  if (at.isValid()) {
    sel->setCurrentIndex(ShownModel()->index(at.row(), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!model_.FindTask(ShownModel()->TaskAt(at.row()))) return nullptr;
  }
  return BuildMenu(shown_, this);
}

QMenu* CVideoListView::BuildMenu(int category, QWidget* parent) {
  struct Item { const char* text; int id; };
  static const std::vector<Item> all = {
      {"Start", kStart}, {"Stop", kStop}, {"Start All", kStartAll}, {"Stop All", kStopAll}, {nullptr, 0},
      {"Download Again", kDownloadAgain}, {"Delete", kDelete}, {nullptr, 0}, {"Open File", kOpenFile},
      {"Open Folder", kOpenFolder}, {nullptr, 0}, {"Copy URL to ClipBoard", kCopyUrl}, {nullptr, 0},
      {"Properties ...", kProperties}};
  static const std::vector<Item> downloading = {
      {"Start", kStart}, {"Stop", kStop}, {"Start All", kStartAll}, {"Stop All", kStopAll}, {nullptr, 0},
      {"Delete", kDelete}, {nullptr, 0}, {"Open Folder", kOpenFolder}, {nullptr, 0},
      {"Copy URL to ClipBoard", kCopyUrl}, {nullptr, 0}, {"Properties ...", kProperties}};
  static const std::vector<Item> completed = {
      {"Download Again", kDownloadAgain}, {"Delete", kDelete}, {nullptr, 0}, {"Open File", kOpenFile},
      {"Open Folder", kOpenFolder}, {nullptr, 0}, {"Copy URL to ClipBoard", kCopyUrl}, {nullptr, 0},
      {"Properties ...", kProperties}};
  static const std::vector<Item> deleted = {
      {"Restore", kRestore}, {nullptr, 0}, {"Download Again", kDownloadAgain}, {"Delete", kDelete},
      {nullptr, 0}, {"Open File", kOpenFile}, {"Open Folder", kOpenFolder}, {nullptr, 0},
      {"Copy URL to ClipBoard", kCopyUrl}, {nullptr, 0}, {"Properties ...", kProperties}};
  const std::vector<Item>& items = category == kCategoryAll           ? all
                                   : category == kCategoryDownloading ? downloading
                                   : category == kCategoryCompleted   ? completed
                                                                      : deleted;
  auto* menu = new QMenu(parent);
  const std::vector<int32_t> statuses = SelectedStatuses();
  for (const Item& item : items) {
    if (!item.text) {
      menu->addSeparator();
      continue;
    }
    QAction* a = menu->addAction(QString::fromLatin1(item.text));
    a->setData(item.id);
    a->setEnabled(TaskCommandEnabled(item.id, statuses));
  }
  connect(menu, &QMenu::triggered, this, [this](QAction* a) { OnCommand(a->data().toInt()); });
  return menu;
}

bool CVideoListView::eventFilter(QObject* watched, QEvent* event) {
  QTreeView* list = ShownList();
  if (!list) return QWidget::eventFilter(watched, event);  // still being built
  if (watched == list->viewport() && event->type() == QEvent::ContextMenu) {
    auto* e = static_cast<QContextMenuEvent*>(event);
    if (QMenu* menu = PrepareContextMenu(e->pos())) {
      menu->setAttribute(Qt::WA_DeleteOnClose);
      menu->popup(e->globalPos());
    }
    return true;
  }
  if (watched == list && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Delete) {
      host_.PostToFrame(kDeleteSelectedMsg);
      return true;
    }
    if (k->key() == Qt::Key_A && (k->modifiers() & Qt::ControlModifier)) {
      host_.PostToFrame(kSelectAllMsg);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::vector<int32_t> CVideoListView::Rows() const { return ShownModel()->Tasks(); }

std::vector<int32_t> CVideoListView::SelectedRows() const {
  std::vector<int32_t> out;
  for (int row : SelectedRowNumbers()) out.push_back(ShownModel()->TaskAt(row));
  return out;
}

bool CVideoListView::IsDeletedList() const { return shown_ == kCategoryDeleted; }

void CVideoListView::RefreshRow(int32_t taskIndex) {
  const DataRecord* task = model_.FindTask(taskIndex);
  if (task) ShownModel()->RefreshRow(*task);
}

void CVideoListView::RefreshAll() { host_.RefreshViews(); }

void CVideoListView::ShowLogIfSelected(int32_t taskIndex) { host_.ShowLog(taskIndex); }

void CVideoListView::ClearPreview() { host_.PreviewFile(std::string(), -1); }
