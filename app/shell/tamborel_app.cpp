#include "app/shell/tamborel_app.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

#include "app/shell/exit_signals.h"
#include "app/shell/main_frame.h"
#include "app/shell/plain_message_box.h"
#include "app/shell/single_instance.h"
#include "core/ansi_text.h"
#include "core/program_dir.h"
#include "core/task_list_file.h"
#include "platform/data_folder.h"
#include "platform/message_port.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/standard_folders.h"
#include "rtmp/rtmp_recorder.h"

CTamborelApp::CTamborelApp() = default;

CTamborelApp::~CTamborelApp() {
  signals_.reset();
  frame_.reset();
  platform::SetMessageBoxSink(nullptr);
}

bool CTamborelApp::IsMinimisedStart(const std::string& arguments) { return EqualNoCase(arguments, "-min"); }

bool CTamborelApp::RaiseRunningInstance() {
  std::optional<uint32_t> running = shell::FindRunningInstance();
  if (!running) return false;
  // The tray's left click shows, restores and raises that window.
  return platform::PostWindowMessage(*running, shell::UM_TRAY_NOTIFY, 0, CMainFrame::kLeftButtonDown);
}

bool CTamborelApp::InitInstance(const std::string& arguments, shell::FrameHooks& hooks) {
  if (RaiseRunningInstance()) return false;

  plainBox_ = std::make_unique<shell::PlainMessageBox>();
  guardedBox_ = std::make_unique<shell::UiThreadMessageBox>(hooks.messageBox ? *hooks.messageBox : *plainBox_);
  platform::SetMessageBoxSink(guardedBox_.get());

  store_ = std::make_unique<platform::QtSettingsStore>("Tamborel");
  settings_.Load(*store_, GetProgramDir(), platform::DocumentsFolder());
  dataFolder_ = platform::UserDataFolder();
  LoadTaskList(model_, dataFolder_, settings_.ResumeTask != 0);

  // Stream addresses record the way the command-line tool does.
  static RtmpStreamRecorder recorder;
  SetStreamRecorder(&recorder);

  const bool minimised = IsMinimisedStart(arguments);
  frame_ = std::make_unique<CMainFrame>(model_, settings_, *store_, hooks, dataFolder_);
  if (!frame_->Create()) return false;
  frame_->SetOnExit([this] {
    ExitInstance();
    QCoreApplication::quit();
  });
  signals_ = std::make_unique<ExitSignals>([this] { frame_->Exit(false); });
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame_.get(),
                   [this](QSessionManager&) { frame_->Exit(false); }, Qt::DirectConnection);
  if (!minimised) frame_->show();
  // The capture library and the media-information worker wait for the first paint.
  QTimer::singleShot(0, frame_.get(), [this] { frame_->StartDeferred(); });
  return true;
}

int CTamborelApp::ExitInstance() {
  if (saved_) return 0;
  saved_ = true;
  settings_.Save(*store_);
  store_->Flush();
  if (frame_) frame_->Saver().SaveNow(model_);
  else SaveTaskList(model_, dataFolder_);
  return 0;
}
