#include "app/shell/main_frame.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QWindowStateChangeEvent>

#include <thread>

#include "app/download/task_list_model.h"
#include "app/download/task_rows.h"
#include "app/download/task_runner.h"
#include "app/download/video_info_view.h"
#include "app/download/video_tree_view.h"
#include "app/shell/frame_layout.h"
#include "app/shell/monitor_indicator.h"
#include "app/shell/new_task_dlg.h"
#include "app/shell/row_splitter.h"
#include "app/shell/single_instance.h"
#include "core/data_model.h"
#include "core/format.h"
#include "core/settings.h"
#include "http/task_events.h"
#include "platform/alt_signal_stack.h"
#include "platform/message_box.h"
#include "platform/message_port.h"
#include "platform/sound_player.h"
#include "platform/tick_count.h"
#include "rtmp/stream_address.h"
#include "ui/tamborel_style.h"

using namespace shell;

namespace {

constexpr uint32_t kTaskEventMessage = 2254;
constexpr int kFirstRetryTimer = TaskRunner::kRetryTimerBase;
const char kTutorialPage[] = "https://www.tamborel.example/tutorial/";
const char kDownloadPage[] = "https://www.tamborel.example/download/";

// The finish sound would hold up the window for its whole length.
class BackgroundSound : public platform::SoundPlayer {
 public:
  bool PlaySync(const std::string& path) override {
    std::thread([path] {
      const platform::AltSignalStack crashStack;
      platform::SystemSoundPlayer().PlaySync(path);
    }).detach();
    return true;
  }
};

class PlainDeleteConfirmation : public DeleteConfirmation {
 public:
  bool Confirm(bool& alsoDeleteFiles) override {
    alsoDeleteFiles = true;
    return platform::ShowMessageBox("Confirm", "Are you sure to delete the selected downloads permanently ?",
                                    platform::MB_OKCANCEL | platform::MB_ICONWARNING) == platform::IDOK;
  }
};

// AddTask's dialog: a fresh CNewTaskDlg for every use.
class NewTaskDialogFactory : public NewDownloadDialog {
 public:
  NewTaskDialogFactory(const DataModel& model, const Settings& settings, KeyValueStore& store, QWidget* parent)
      : model_(model), settings_(settings), store_(store), parent_(parent) {}
  bool Show(const TaskRequest* incoming, TaskRequest& result) override {
    CNewTaskDlg dlg(model_, settings_, store_, parent_);
    return dlg.Show(incoming, result);
  }

 private:
  const DataModel& model_;
  const Settings& settings_;
  KeyValueStore& store_;
  QWidget* parent_;
};

// The popup that asked, reached through the capture feature.
class HookedAsker : public AskingWindow {
 public:
  HookedAsker(FrameHooks& hooks, FrameAccess& frame, platform::MessageParam window)
      : hooks_(hooks), frame_(frame), window_(window) {}
  void SendTaskAdded() override {
    if (hooks_.sendTaskAdded) hooks_.sendTaskAdded(frame_, window_);
  }

 private:
  FrameHooks& hooks_;
  FrameAccess& frame_;
  platform::MessageParam window_;
};

// The close-action question until the program's own dialog is hooked in.
int AskCloseActionPlainly(QWidget* parent, int32_t preset, bool* dontAskAgain) {
  QMessageBox box(parent);
  box.setWindowTitle(QStringLiteral("Select your action"));
  box.setText(QStringLiteral("When you click the close button you want to:"));
  QPushButton* tray = box.addButton(QStringLiteral("Minimize to the system tray area"), QMessageBox::AcceptRole);
  QPushButton* close = box.addButton(QStringLiteral("Close the program"), QMessageBox::DestructiveRole);
  box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  box.setDefaultButton(preset == kCloseToTray ? tray : close);
  auto* check = new QCheckBox(QStringLiteral("Do not ask me again"));
  box.setCheckBox(check);
  box.exec();
  *dontAskAgain = check->isChecked();
  if (box.clickedButton() == tray) return kCloseToTray;
  if (box.clickedButton() == close) return kCloseProgram;
  return -1;
}

QIcon ToolIcon(const char* name) {
  QIcon icon;
  const QString base = QStringLiteral(":/tamborel/tb_%1").arg(QLatin1String(name));
  ui::Picture("tb_start");  // registers the pictures
  icon.addFile(base + QStringLiteral(".svg"), QSize(89, 44), QIcon::Normal);
  icon.addFile(base + QStringLiteral("_disabled.svg"), QSize(89, 44), QIcon::Disabled);
  return icon;
}

}  // namespace

CMainFrame::CMainFrame(DataModel& model, Settings& settings, KeyValueStore& store, FrameHooks& hooks,
                       std::string dataFolder, DesktopLauncher* launcher)
    : model_(model),
      settings_(settings),
      store_(store),
      hooks_(hooks),
      dataFolder_(std::move(dataFolder)),
      ownLauncher_(launcher ? nullptr : new QtDesktopLauncher),
      launcher_(launcher ? launcher : ownLauncher_.get()),
      saver_(dataFolder_) {
  setWindowTitle(QStringLiteral("Tamborel"));
  resize(kInitialWidth, kInitialHeight);
  setMinimumSize(kMinWidth, kMinHeight);
}

CMainFrame::~CMainFrame() {
  for (int id : {kTickTimer, kPopupTimer, kWatchdogTimer, kTutorialTimer, kHintProbeTimer, kHintHideTimer})
    services_.KillTimer(id);
  runner_.reset();
  services_.SetHandler(nullptr);
  if (instance_) instance_->Release();
}

uint32_t CMainFrame::WindowHandle() const { return port_ ? port_->Handle() : 0; }

bool CMainFrame::Create(bool publishInstance) {
  // 1. The single-instance record names this window's message port.
  port_ = std::make_unique<platform::MessagePort>(&services_);
  // Other processes may only hand over captures and raise the window; the
  // rest of the frame's messages carry this process's pointers.
  port_->AcceptOnly({UM_CAPTURED, UM_TRAY_NOTIFY});
  if (port_->Open() && publishInstance) {
    instance_ = std::make_unique<InstanceBlock>();
    if (!instance_->Publish(port_->Handle())) instance_.reset();
  }
  // 3-4. Bars.
  BuildToolBar();
  BuildStatusBar();
  // 6. The indicator; without a usable control the program cannot run.
  indicator_ = MonitorIndicator::Create(toolbar_);
  if (!indicator_) return false;
  auto* spacer = new QWidget(toolbar_);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolbar_->addWidget(spacer);
  toolbar_->addWidget(indicator_);
  indicator_->setContextMenuPolicy(Qt::PreventContextMenu);  // the control's own menu never shows
  indicator_->SetMonitoring(settings_.Monitoring != 0);
  indicator_->setToolTip(settings_.Monitoring ? QStringLiteral("Click to disable monitor.")
                                              : QStringLiteral("Click to enable monitor."));
  connect(indicator_, &MonitorIndicator::ToggleRequested, this, [this](bool on) { SetMonitoringState(on); });

  BuildPanes();
  BuildMenus();
  // 7. The preview starts hidden.
  PreviewFile(std::string(), -1);
  // 10. Icons and tray.
  iconOn_ = ui::Picture("tray_on");
  iconOff_ = ui::Picture("tray_off");
  iconApp_ = ui::Picture("app");
  BuildTray();
  setWindowIcon(iconApp_);

  // The runner lives in the list view; it takes over the window services,
  // which the frame then takes back and forwards.
  sound_ = std::make_unique<BackgroundSound>();
  plainDeleteConfirmation_ = std::make_unique<PlainDeleteConfirmation>();
  TaskRunner::Hosts hosts;
  hosts.list = list_;
  hosts.deleteConfirmation = hooks_.deleteConfirmation ? hooks_.deleteConfirmation : plainDeleteConfirmation_.get();
  hosts.completion = this;
  hosts.sound = sound_.get();
  runner_ = std::make_unique<TaskRunner>(model_, settings_, services_, hosts);
  services_.SetHandler(this);
  list_->SetRunner(runner_.get());

  // 11. Counts and the first category.
  tree_->SetCounts(model_.CountByCategory());
  tree_->SelectCategory(kCategoryAll);
  // 13. Timers.
  services_.SetTimer(kTickTimer, 1000);
  services_.SetTimer(kPopupTimer, 30);
  services_.SetTimer(kWatchdogTimer, std::max(1, settings_.RetryDelay) * 1000);
  if (settings_.ShowTutorial) services_.SetTimer(kTutorialTimer, 1000);
  if (settings_.ToolTipShowedCount < 20) services_.SetTimer(kHintProbeTimer, 500);
  // 14. Interrupted tasks go on.
  if (settings_.ResumeTask) runner_->ResumeAtStartUp();
  return true;
}

void CMainFrame::StartDeferred() {
  if (hooks_.startMonitor) hooks_.startMonitor(*this);
  if (hooks_.startMediaInfo) hooks_.startMediaInfo(*this);
}

void CMainFrame::BuildToolBar() {
  toolbar_ = new QToolBar(QStringLiteral("Toolbar"), this);
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->setIconSize(QSize(89, 44));
  toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  struct Button { int id; const char* picture; const char* tip; };
  const Button buttons[] = {{ID_TASK_START, "start", "Start"},
                            {ID_TASK_STOP, "stop", "Stop"},
                            {ID_TASK_DELETE, "delete", "Delete"},
                            {ID_CAPTURE_HISTORY, "history", "Capture History"},
                            {ID_SETTINGS, "settings", "Settings"}};
  for (const Button& b : buttons) {
    QAction* a = toolbar_->addAction(ToolIcon(b.picture), QString::fromLatin1(b.tip));
    a->setData(b.id);
    connect(a, &QAction::triggered, this, [this, id = b.id] { OnCommand(id); });
    if (auto* button = qobject_cast<QToolButton*>(toolbar_->widgetForAction(a))) button->setFixedSize(96, 51);
    toolActions_[b.id] = a;
  }
  addToolBar(Qt::TopToolBarArea, toolbar_);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setMinimumHeight(28);
  bar->setSizeGripEnabled(true);
  const int widths[] = {-1, 10, 14, 110, 110};
  for (int i = 0; i < 5; ++i) {
    auto* label = new QLabel(bar);
    if (widths[i] > 0) label->setFixedWidth(widths[i]);
    statusPanes_[i] = label;
    if (i == 0) bar->addWidget(label, 1);
    else bar->addPermanentWidget(label);
  }
  statusPanes_[3]->setText(QStringLiteral("Downloading : 0"));
  statusPanes_[4]->setText(QStringLiteral("0.00 KB/s"));
  statusPanes_[2]->setPixmap(ui::Picture("idle").pixmap(14, 14));
}

void CMainFrame::BuildPanes() {
  outer_ = new QSplitter(Qt::Horizontal, this);
  left_ = new RowSplitter(outer_);
  right_ = new RowSplitter(outer_);
  tree_ = new CVideoTreeView(left_);
  preview_ = hooks_.createPreviewPane ? hooks_.createPreviewPane(*this, left_) : nullptr;
  if (!preview_) preview_ = new QWidget(left_);
  left_->addWidget(tree_);
  left_->addWidget(preview_);
  list_ = new CVideoListView(model_, settings_, *this, *launcher_, right_);
  info_ = new CVideoInfoView(model_, settings_, right_);
  info_->SetSelectedTaskSource([this] { return list_->SelectedTask(); });
  right_->addWidget(list_);
  right_->addWidget(info_);
  for (RowSplitter* s : {left_, right_}) {
    s->setStretchFactor(0, 1);
    s->setStretchFactor(1, 0);
    s->setChildrenCollapsible(false);
  }
  outer_->setStretchFactor(0, 0);
  outer_->setStretchFactor(1, 1);
  outer_->setSizes({240, kInitialWidth - 240});
  setCentralWidget(outer_);

  // The first split, from the client height the frame starts with.
  const int clientHeight = kInitialHeight;
  InitialRows rows = InitialSplit(clientHeight);
  left_->SetRememberedLower(rows.playerRemembered);
  right_->SetRememberedLower(rows.logRemembered);
  left_->setSizes({rows.treeRow, rows.playerRow});
  right_->setSizes({500, rows.logRemembered});

  connect(tree_, &CVideoTreeView::CategoryChosen, this, [this](int category) {
    list_->ShowCategory(category);
    UpdateToolBarEnabling();
  });
  for (int c = kCategoryAll; c <= kCategoryDeleted; ++c) {
    connect(list_->ListWidget(c)->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateToolBarEnabling(); });
  }
}

QAction* CMainFrame::AddCommandItem(QMenu* menu, const char* text, int id) {
  QAction* a = menu->addAction(QString::fromLatin1(text));
  a->setData(id);
  connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
  return a;
}

void CMainFrame::BuildMenus() {
  auto add = [this](QMenu* menu, const char* text, int id) { return AddCommandItem(menu, text, id); };
  auto enableOnShow = [this](QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
      for (QAction* a : menu->actions())
        if (!a->isSeparator()) a->setEnabled(CommandEnabled(a->data().toInt()));
    });
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  add(file, "&Manually DownLoad ...", ID_MANUAL_DOWNLOAD);
  file->addSeparator();
  add(file, "Enable Monitor", ID_MONITOR_ENABLE);
  add(file, "Disable Monitor", ID_MONITOR_DISABLE);
  file->addSeparator();
  add(file, "Exit", ID_APP_EXIT);
  enableOnShow(file);

  QMenu* download = menuBar()->addMenu(QStringLiteral("&Download"));
  add(download, "Start", ID_TASK_START);
  add(download, "Stop", ID_TASK_STOP);
  add(download, "Start All", ID_TASK_START_ALL);
  add(download, "Stop All", ID_TASK_STOP_ALL);
  download->addSeparator();
  add(download, "Download Again", ID_TASK_DOWNLOAD_AGAIN);
  add(download, "Delete", ID_TASK_DELETE);
  add(download, "Restore", ID_TASK_RESTORE);
  download->addSeparator();
  add(download, "Open File", ID_TASK_OPEN_FILE);
  add(download, "Open Folder", ID_TASK_OPEN_FOLDER);
  download->addSeparator();
  add(download, "Copy URL to ClipBoard", ID_TASK_COPY_URL);
  download->addSeparator();
  add(download, "Properties ...", ID_TASK_PROPERTIES);
  enableOnShow(download);

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  add(tools, "View Capture history...", ID_CAPTURE_HISTORY);
  add(tools, "Settings...", ID_SETTINGS);
  enableOnShow(tools);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  add(help, "Help", ID_HELP_TUTORIAL);
  add(help, "Check Update", ID_CHECK_UPDATE);
  help->addSeparator();
  add(help, "&About...", ID_APP_ABOUT);
}

void CMainFrame::BuildTray() {
  tray_ = new QSystemTrayIcon(settings_.Monitoring ? iconOn_ : iconOff_, this);
  tray_->setToolTip(QStringLiteral("Tamborel"));
  trayMenu_ = new QMenu(this);
  auto add = [this](const char* text, int id) { return AddCommandItem(trayMenu_, text, id); };
  add("Open Tamborel", ID_OPEN_TAMBOREL);
  trayMenu_->addSeparator();
  trayMonitorAction_ = add("Disable Monitor", ID_MONITOR_TOGGLE);
  add("View Capture History ...", ID_CAPTURE_HISTORY);
  add("Settings ...", ID_SETTINGS);
  trayMenu_->addSeparator();
  add("Help", ID_HELP_TUTORIAL);
  trayMenu_->addSeparator();
  add("Exit", ID_TRAY_EXIT);
  // The monitoring item says what a click will do.
  connect(trayMenu_, &QMenu::aboutToShow, this, [this] {
    trayMonitorAction_->setText(settings_.Monitoring ? QStringLiteral("Disable Monitor")
                                                     : QStringLiteral("Enable Monitor"));
  });
  tray_->setContextMenu(trayMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) OnTrayNotify(kLeftButtonDown);
    else if (reason == QSystemTrayIcon::DoubleClick) OnTrayNotify(kLeftDoubleClick);
  });
  tray_->show();
}

bool CMainFrame::CommandEnabled(int id) const {
  switch (id) {
    case ID_MONITOR_ENABLE: return settings_.Monitoring == 0;
    case ID_MONITOR_DISABLE: return settings_.Monitoring != 0;
    case ID_TASK_START: case ID_TASK_STOP: case ID_TASK_START_ALL: case ID_TASK_STOP_ALL:
    case ID_TASK_DOWNLOAD_AGAIN: case ID_TASK_DELETE: case ID_TASK_OPEN_FOLDER: case ID_TASK_OPEN_FILE:
    case ID_TASK_COPY_URL: case ID_TASK_PROPERTIES: case ID_TASK_RESTORE:
      return list_->CommandEnabled(id);
    default: return true;
  }
}

void CMainFrame::UpdateToolBarEnabling() {
  for (auto& [id, action] : toolActions_) action->setEnabled(CommandEnabled(id));
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case ID_MONITOR_ENABLE: SetMonitoringState(true); break;
    case ID_MONITOR_DISABLE: SetMonitoringState(false); break;
    case ID_MONITOR_TOGGLE: SetMonitoringState(settings_.Monitoring == 0); break;
    case ID_APP_EXIT:
    case ID_TRAY_EXIT: Exit(true); break;
    case ID_OPEN_TAMBOREL:
      ShowAndRaise();
      RefreshViews();
      break;
    case ID_TASK_START: case ID_TASK_STOP: case ID_TASK_START_ALL: case ID_TASK_STOP_ALL:
    case ID_TASK_DOWNLOAD_AGAIN: case ID_TASK_DELETE: case ID_TASK_OPEN_FOLDER: case ID_TASK_OPEN_FILE:
    case ID_TASK_COPY_URL: case ID_TASK_PROPERTIES: case ID_TASK_RESTORE:
      if (list_->CommandEnabled(id)) list_->OnCommand(id);
      UpdateToolBarEnabling();
      break;
    case ID_SETTINGS: if (hooks_.openOptions) hooks_.openOptions(*this); break;
    case ID_CAPTURE_HISTORY: if (hooks_.openCaptureHistory) hooks_.openCaptureHistory(*this); break;
    case ID_MANUAL_DOWNLOAD: AddTask(nullptr, nullptr); break;
    case ID_HELP_TUTORIAL: launcher_->OpenAddress(kTutorialPage); break;
    case ID_CHECK_UPDATE: launcher_->OpenAddress(kDownloadPage); break;
    case ID_APP_ABOUT:
      if (hooks_.showAbout) hooks_.showAbout(this);
      else QMessageBox::about(this, QStringLiteral("About"), QStringLiteral("Tamborel\nVersion 2.0 Build 091217"));
      break;
    default: break;
  }
}

int32_t CMainFrame::AddTask(const TaskRequest* request, AskingWindow* asker) {
  NewTaskDialogFactory dialog(model_, settings_, store_, this);
  AddTaskOptions options;
  options.ShowTaskWnd = settings_.ShowTaskWnd != 0;
  options.SavePath = settings_.SavePath;
  AddTaskServices services;
  services.newDownload = &dialog;
  services.taskExisted = hooks_.taskExisted;
  services.runner = runner_.get();
  services.splitStreamAddress = SplitStreamTaskAddress;
  return model_.AddTask(request, options, services, asker);
}

void CMainFrame::RefreshViews() {
  tree_->SetCounts(model_.CountByCategory());
  list_->FillCategoryList(list_->ShownCategory());
  list_->SelectionChanged();
  UpdateToolBarEnabling();
}

void CMainFrame::PreviewFile(const std::string& path, int32_t taskIndex) {
  if (hooks_.previewFile) hooks_.previewFile(*this, path, taskIndex);
  else if (preview_) preview_->hide();
}

void CMainFrame::ShowAndRaise() {
  if (isHidden()) show();
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
}

void CMainFrame::ShowTask(int32_t taskIndex) { HandleShowTask(0, taskIndex); }

void CMainFrame::SelectTreeCategory(int category) { tree_->SelectCategory(category); }

void CMainFrame::ShowLog(int32_t taskIndex) { info_->ShowLog(taskIndex); }

void CMainFrame::ShowProperties(const DataRecord& task) {
  CNewTaskDlg dlg(model_, settings_, store_, this);
  dlg.ShowProperty(task);
}

void CMainFrame::PostToFrame(uint32_t msg) { services_.Post(msg, 0, 0); }

void CMainFrame::OnTaskCompleted(int32_t taskIndex) {
  if (hooks_.completionNotice) hooks_.completionNotice(*this, taskIndex);
  if (hooks_.queueMediaInfo) hooks_.queueMediaInfo(*this, taskIndex);
}

void CMainFrame::OnMessage(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) {
  switch (msg) {
    case kTaskEventMessage:
      if (runner_) runner_->OnMessage(msg, wParam, lParam);
      UpdateToolBarEnabling();
      return;
    case UM_TRAY_NOTIFY: OnTrayNotify(static_cast<int>(lParam)); return;
    case UM_OPEN_TASK_FOLDER: {
      if (lParam < 0) return;
      if (const DataRecord* task = model_.FindTask(static_cast<int32_t>(lParam)))
        launcher_->ShowInFolder(DataModel::FinalPath(*task));
      return;
    }
    case UM_DOWNLOAD_AGAIN: HandleDownloadAgain(wParam, lParam); return;
    case UM_SHOW_TASK: HandleShowTask(wParam, lParam); return;
    case UM_SELECT_ALL_TASKS: list_->SelectAllTasks(); return;
    case UM_DELETE_SELECTED: OnCommand(ID_TASK_DELETE); return;
    case UM_MEDIA_SIZE:
    case UM_MEDIA_DURATION: {
      auto it = hooks_.messages.find(msg);
      if (it != hooks_.messages.end() && it->second) it->second(*this, wParam, lParam);
      list_->UpdateMediaInfo(static_cast<int32_t>(wParam));
      return;
    }
    default: {
      auto it = hooks_.messages.find(msg);
      if (it != hooks_.messages.end() && it->second) it->second(*this, wParam, lParam);
    }
  }
}

void CMainFrame::OnTimer(int id) {
  switch (id) {
    case kTickTimer: PerSecondTick(); break;
    case kPopupTimer: if (hooks_.popupPass) hooks_.popupPass(*this); break;
    case kWatchdogTimer:
      runner_->WatchdogTick();
      services_.KillTimer(kWatchdogTimer);
      services_.SetTimer(kWatchdogTimer, std::max(1, settings_.RetryDelay) * 1000);
      break;
    case kTutorialTimer:
      services_.KillTimer(kTutorialTimer);
      if (hooks_.showTutorial && hooks_.showTutorial(this)) settings_.ShowTutorial = 0;
      break;
    case kHintProbeTimer: MonitorHintProbe(); break;
    case kHintHideTimer:
      QToolTip::hideText();
      services_.KillTimer(kHintHideTimer);
      break;
    default:
      if (id >= kFirstRetryTimer && runner_) runner_->OnTimer(id);
      break;
  }
}

void CMainFrame::PerSecondTick() {
  list_->RefreshRunning(platform::TickCountMs());
  UpdateStatus();
  if (++ticks_ > 300) {
    ticks_ = 0;
    saver_.SaveInBackground(model_);
  }
}

void CMainFrame::UpdateStatus() {
  RunningSummary running = model_.RunningTotals();
  const QString speed = QString::fromStdString(FormatSpeed(static_cast<uint32_t>(running.speed)));
  statusPanes_[3]->setText(QStringLiteral("Downloading : %1").arg(running.count));
  statusPanes_[4]->setText(speed);
  if (tray_) {
    tray_->setToolTip(running.count == 0 ? QStringLiteral("Tamborel")
                                         : QStringLiteral("Tamborel \n Downloading: %1 | %2").arg(running.count).arg(speed));
  }
  const bool busy = running.count > 0;
  if (busy != busy_) {
    busy_ = busy;
    statusPanes_[2]->setPixmap(ui::Picture(busy ? "busy" : "idle").pixmap(14, 14));
  }
}

QString CMainFrame::StatusPaneText(int pane) const {
  return pane >= 0 && pane < 5 ? statusPanes_[pane]->text() : QString();
}

void CMainFrame::SetMonitoringState(bool on) {
  settings_.Monitoring = on ? 1 : 0;
  if (hooks_.monitoringChanged) hooks_.monitoringChanged(*this, on);
  if (indicator_) {
    indicator_->SetMonitoring(on);
    indicator_->setToolTip(on ? QStringLiteral("Click to disable monitor.") : QStringLiteral("Click to enable monitor."));
  }
  const QString text = on ? QStringLiteral("Monitor Enabled.") : QStringLiteral("Monitor Disabled.");
  if (tray_) {
    tray_->setIcon(on ? iconOn_ : iconOff_);
    tray_->setToolTip(text);
  }
  ShowBalloon(text);
}

void CMainFrame::ShowBalloon(const QString& text) {
  if (tray_ && tray_->isVisible() && QSystemTrayIcon::supportsMessages())
    tray_->showMessage(QStringLiteral("Tamborel"), text, QSystemTrayIcon::Information, 1000);
}

void CMainFrame::OnTrayNotify(int mouseMessage) {
  if (mouseMessage == kLeftButtonDown || mouseMessage == kLeftDoubleClick) {
    ShowAndRaise();
    RefreshViews();
  } else if (mouseMessage == kRightButtonDown) {
    raise();
    trayMenu_->popup(QCursor::pos());
  }
}

void CMainFrame::MonitorHintProbe() {
  if (!indicator_ || !isVisible()) return;
  const QPoint local(indicator_->width() / 2 + indicator_->width() / 3, indicator_->height() / 2);
  const QPoint global = indicator_->mapToGlobal(local);
  QWidget* under = QApplication::widgetAt(global);
  if (under != indicator_ && !indicator_->isAncestorOf(under)) return;
  services_.KillTimer(kHintProbeTimer);
  services_.SetTimer(kHintHideTimer, 5000);
  QToolTip::showText(global, QStringLiteral("Click this button to enable or disable monitor."), indicator_);
  ++settings_.ToolTipShowedCount;
}

int32_t CMainFrame::WantedTask(platform::MessageParam asker, platform::MessageParam id) {
  if (id < 0) return -1;
  if (asker != 0) {
    const std::string address = hooks_.captureAddress ? hooks_.captureAddress(*this, static_cast<int32_t>(id)) : "";
    if (address.empty()) return -1;
    DataRecord* task = model_.FindTaskByUrl(address);
    return task ? task->TaskIndex : -1;
  }
  const DataRecord* task = model_.FindTask(static_cast<int32_t>(id));
  return task ? task->TaskIndex : -1;
}

void CMainFrame::HandleShowTask(platform::MessageParam asker, platform::MessageParam id) {
  if (id < 0) return;
  ShowAndRaise();
  const int32_t taskIndex = WantedTask(asker, id);
  const int32_t status = model_.GetDownStatus(taskIndex);
  if (status < Failed) return;
  const int category = status <= Completed ? kCategoryAll : kCategoryDeleted;
  tree_->SelectCategory(category);
  if (list_->ShownCategory() != category) list_->ShowCategory(category);
  list_->ShownList()->clearSelection();
  list_->SelectTask(taskIndex);
}

void CMainFrame::HandleDownloadAgain(platform::MessageParam asker, platform::MessageParam id) {
  const int32_t taskIndex = WantedTask(asker, id);
  if (taskIndex < 0) return;
  HookedAsker popup(hooks_, *this, asker);
  model_.DownloadAgain(taskIndex, runner_.get(), asker != 0 ? &popup : nullptr);
}

void CMainFrame::CloseButton() {
  int32_t action = settings_.CloseAction;
  if (action == kCloseAsk) {
    bool dontAsk = false;
    const int chosen = hooks_.askCloseAction ? hooks_.askCloseAction(this, settings_.CloseActionLastTimeUsed, &dontAsk)
                                             : AskCloseActionPlainly(this, settings_.CloseActionLastTimeUsed, &dontAsk);
    if (chosen < 0) return;
    settings_.CloseActionLastTimeUsed = chosen;
    if (dontAsk) settings_.CloseAction = chosen;
    action = chosen;
  }
  if (action == kCloseToTray) {
    // Without a tray to come back from, the window only goes to the task bar.
    if (tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()) hide();
    else showMinimized();
    PreviewFile(std::string(), -1);
  } else {
    Exit(true);
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (exiting_) {
    event->accept();
    return;
  }
  event->ignore();
  // Asked from outside the event handler, so the dialog's own loop runs cleanly.
  QTimer::singleShot(0, this, [this] { CloseButton(); });
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && settings_.MinimizeToTray)
    QTimer::singleShot(0, this, [this] { MinimizeToTray(); });
}

void CMainFrame::MinimizeToTray() {
  // Without a tray to come back from, the window stays an ordinary minimised one.
  if (!isMinimized() || !tray_ || !tray_->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) return;
  hide();
  PreviewFile(std::string(), -1);
  if (!trayBalloonShown_) {
    trayBalloonShown_ = true;
    ShowBalloon(QStringLiteral("Click this icon to open Tamborel."));
  }
}

bool CMainFrame::Exit(bool ask) {
  if (exiting_) return true;
  if (ask && settings_.WarnOnExit && model_.RunningTotals().count > 0 &&
      platform::ShowMessageBox("Confirm", "There are downloads in progress, are you sure to quit?",
                               platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES) {
    return false;
  }
  exiting_ = true;
  for (int id : {kTickTimer, kPopupTimer, kWatchdogTimer, kHintProbeTimer, kHintHideTimer}) services_.KillTimer(id);
  runner_->ShutDown();
  if (hooks_.stopMonitor) hooks_.stopMonitor(*this);
  hide();
  if (hooks_.stopMediaInfo) hooks_.stopMediaInfo(*this);
  if (hooks_.closeOptions) hooks_.closeOptions(*this);
  if (hooks_.releaseCapture) hooks_.releaseCapture(*this);
  if (tray_) tray_->hide();
  close();
  if (onExit_) onExit_();
  return true;
}
