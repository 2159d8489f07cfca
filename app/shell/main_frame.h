// The main window: toolbar band with the monitor indicator, the four panes
// (category tree over the preview, task list over the log), the status bar
// and the tray icon. It routes commands, its timers and the program's
// window messages, and carries out start-up and exit of the window.
#pragma once

#include <QMainWindow>

#include <memory>
#include <string>

#include "app/download/desktop_launcher.h"
#include "app/download/runner_hosts.h"
#include "app/download/video_list_view.h"
#include "app/shell/frame_hooks.h"
#include "app/shell/task_list_saver.h"
#include "platform/qt/qt_window_services.h"

class CVideoTreeView;
class CVideoInfoView;
class KeyValueStore;
class MonitorIndicator;
class QLabel;
class QAction;
class QMenu;
class QSplitter;
class QSystemTrayIcon;
class QToolBar;
class RowSplitter;

namespace platform {
class MessagePort;
class SoundPlayer;
}

namespace shell {
class InstanceBlock;
}

class CMainFrame : public QMainWindow,
                   public platform::MessageHandler,
                   public shell::FrameAccess,
                   public ListViewHost,
                   public CompletionNotice {
  Q_OBJECT
 public:
  static constexpr int kInitialWidth = 980, kInitialHeight = 700;
  static constexpr int kMinWidth = 660, kMinHeight = 400;
  // Mouse messages of UM_TRAY_NOTIFY (second parameter).
  static constexpr int kLeftButtonDown = 0x0201, kLeftDoubleClick = 0x0203, kRightButtonDown = 0x0204;

  CMainFrame(DataModel& model, Settings& settings, KeyValueStore& store, shell::FrameHooks& hooks,
             std::string dataFolder, DesktopLauncher* launcher = nullptr);
  ~CMainFrame() override;

  // Frame creation: single-instance record, bars, panes, tray, counts,
  // timers, resumed tasks. False when the window cannot run.
  bool Create(bool publishInstance = true);
  // After the first paint: the capture library and the media-information worker.
  void StartDeferred();
  // Exit with the question while downloads run (or without, for signals and
  // the end of the session). False when the user said No.
  bool Exit(bool ask);
  // Runs after the exit steps: the application saves and quits there.
  void SetOnExit(std::function<void()> onExit) { onExit_ = std::move(onExit); }
  bool Exiting() const { return exiting_; }

  void OnCommand(int id);
  bool CommandEnabled(int id) const;
  // Timer 1's work, callable on its own (tests, benchmarks).
  void PerSecondTick();
  // The close button, without the window system.
  void CloseButton();
  void SetMonitoringState(bool on);
  void OnTrayNotify(int mouseMessage);

  // platform::MessageHandler
  void OnMessage(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) override;
  void OnTimer(int id) override;

  // shell::FrameAccess
  QWidget* Window() override { return this; }
  DataModel& Model() override { return model_; }
  Settings& AppSettings() override { return settings_; }
  TaskRunner& Runner() override { return *runner_; }
  platform::WindowServices& Services() override { return services_; }
  uint32_t WindowHandle() const override;
  void RefreshViews() override;
  int32_t AddTask(const TaskRequest* request, AskingWindow* asker) override;
  void PreviewFile(const std::string& path, int32_t taskIndex) override;
  void SetMonitoring(bool on) override { SetMonitoringState(on); }
  void ShowAndRaise() override;
  void ShowTask(int32_t taskIndex) override;

  // ListViewHost
  void SelectTreeCategory(int category) override;
  void ShowLog(int32_t taskIndex) override;
  void ShowProperties(const DataRecord& task) override;
  void PostToFrame(uint32_t msg) override;

  // CompletionNotice
  void OnTaskCompleted(int32_t taskIndex) override;

  CVideoTreeView* Tree() const { return tree_; }
  CVideoListView* List() const { return list_; }
  CVideoInfoView* Info() const { return info_; }
  QWidget* PreviewPane() const { return preview_; }
  RowSplitter* LeftColumn() const { return left_; }
  RowSplitter* RightColumn() const { return right_; }
  QToolBar* ToolBar() const { return toolbar_; }
  MonitorIndicator* Indicator() const { return indicator_; }
  QSystemTrayIcon* Tray() const { return tray_; }
  QMenu* TrayMenu() const { return trayMenu_; }
  QString StatusPaneText(int pane) const;
  bool BusyIconShown() const { return busy_; }
  int TickCount() const { return ticks_; }
  TaskListSaver& Saver() { return saver_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildToolBar();
  void BuildStatusBar();
  void BuildPanes();
  void BuildMenus();
  QAction* AddCommandItem(QMenu* menu, const char* text, int id);
  void BuildTray();
  void UpdateToolBarEnabling();
  void UpdateStatus();
  void MinimizeToTray();
  void HandleShowTask(platform::MessageParam asker, platform::MessageParam id);
  void HandleDownloadAgain(platform::MessageParam asker, platform::MessageParam id);
  int32_t WantedTask(platform::MessageParam asker, platform::MessageParam id);
  void MonitorHintProbe();
  void ShowBalloon(const QString& text);

  DataModel& model_;
  Settings& settings_;
  KeyValueStore& store_;
  shell::FrameHooks& hooks_;
  std::string dataFolder_;
  std::unique_ptr<DesktopLauncher> ownLauncher_;
  DesktopLauncher* launcher_;
  platform::QtWindowServices services_;
  std::unique_ptr<platform::MessagePort> port_;
  std::unique_ptr<shell::InstanceBlock> instance_;
  std::unique_ptr<platform::SoundPlayer> sound_;
  std::unique_ptr<DeleteConfirmation> plainDeleteConfirmation_;
  std::unique_ptr<TaskRunner> runner_;
  TaskListSaver saver_;

  CVideoTreeView* tree_ = nullptr;
  QWidget* preview_ = nullptr;
  CVideoListView* list_ = nullptr;
  CVideoInfoView* info_ = nullptr;
  QSplitter* outer_ = nullptr;
  RowSplitter* left_ = nullptr;
  RowSplitter* right_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  std::map<int, QAction*> toolActions_;
  MonitorIndicator* indicator_ = nullptr;
  QLabel* statusPanes_[5] = {};
  bool busy_ = false;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QAction* trayMonitorAction_ = nullptr;
  QIcon iconOn_, iconOff_, iconApp_;

  int ticks_ = 0;
  bool trayBalloonShown_ = false;
  bool exiting_ = false;
  std::function<void()> onExit_;
};
