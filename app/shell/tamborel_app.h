// The application: single instance, settings and Task.dat, the frame, and
// the saving at exit.
#pragma once

#include <memory>
#include <string>

#include "app/shell/frame_hooks.h"
#include "core/data_model.h"
#include "core/settings.h"

class CMainFrame;
class ExitSignals;
class KeyValueStore;

namespace shell {
class PlainMessageBox;
class UiThreadMessageBox;
}

class CTamborelApp {
 public:
  CTamborelApp();
  ~CTamborelApp();

  // The whole argument text equals "-min", ignoring case.
  static bool IsMinimisedStart(const std::string& arguments);
  // When another instance's window answers, asks it to show itself; true then.
  static bool RaiseRunningInstance();

  // Start-up; false ends the process at once. `hooks` must outlive the app.
  bool InitInstance(const std::string& arguments, shell::FrameHooks& hooks);
  // Saves the settings and the task list; the process exit code.
  int ExitInstance();

  DataModel& Model() { return model_; }
  Settings& AppSettings() { return settings_; }
  CMainFrame* Frame() const { return frame_.get(); }
  const std::string& DataFolder() const { return dataFolder_; }

 private:
  DataModel model_;
  Settings settings_;
  std::unique_ptr<KeyValueStore> store_;
  std::string dataFolder_;
  std::unique_ptr<shell::PlainMessageBox> plainBox_;
  std::unique_ptr<shell::UiThreadMessageBox> guardedBox_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<ExitSignals> signals_;
  bool saved_ = false;
};
