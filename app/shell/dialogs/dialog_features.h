// Hooks the program's dialogs into the main frame: the message box (which
// the application installs as the program's one), the close-action
// question, the options dialog, the about box, the tutorial, the
// task-existed notice and the permanent-delete question. main() keeps one
// DialogFeatures for the life of the frame.
#pragma once

#include <QPointer>

#include <functional>
#include <memory>

#include "app/shell/dialogs/dlg_message_box.h"
#include "app/shell/dialogs/dlg_tutorial.h"
#include "app/shell/dialogs/tutorial_movie.h"
#include "app/shell/frame_hooks.h"

class COptionDlg;

class DialogFeatures {
 public:
  struct Parts {
    // Makes the tutorial's movie control.
    CDlgTutorial::MovieFactory tutorialMovie = MakeTutorialMovie;
    // What the autostart entry runs (empty: this program's own file).
    QString programPath;
  };

  explicit DialogFeatures(Parts parts);
  ~DialogFeatures();
  DialogFeatures(const DialogFeatures&) = delete;
  DialogFeatures& operator=(const DialogFeatures&) = delete;

  // Fills the dialog slots of `hooks`. A UM_OPTIONS_CLOSED hook that is
  // there already (the capture feature refreshes the monitor lists there)
  // still runs, after the dialog is forgotten. startMonitor is wrapped to
  // learn the frame, which the task-existed notice posts to: install this
  // after the features that set startMonitor.
  void Install(shell::FrameHooks& hooks);

  // The open options dialog, or null.
  COptionDlg* OptionsDialog() const;

 private:
  class TaskExisted;
  class DeleteQuestion;

  void OpenOptions(shell::FrameAccess& frame);

  Parts parts_;
  shell::FrameAccess* frame_ = nullptr;
  CDlgMessageBoxSink messageBox_;
  std::unique_ptr<TaskExisted> taskExisted_;
  std::unique_ptr<DeleteQuestion> deleteQuestion_;
  QPointer<COptionDlg> options_;
};
