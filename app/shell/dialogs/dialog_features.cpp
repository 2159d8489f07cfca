#include "app/shell/dialogs/dialog_features.h"

#include <QCoreApplication>

#include "app/download/runner_hosts.h"
#include "app/shell/dialogs/dlg_about.h"
#include "app/shell/dialogs/dlg_action_when_close.h"
#include "app/shell/dialogs/dlg_task_existed.h"
#include "app/shell/dialogs/msg_box_dlg.h"
#include "app/shell/dialogs/option_dlg.h"
#include "core/add_task.h"

class DialogFeatures::TaskExisted : public TaskExistedDialog {
 public:
  explicit TaskExisted(DialogFeatures& owner) : owner_(owner) {}
  void Show(const std::string& url, int32_t existingTaskIndex) override {
    shell::FrameAccess* frame = owner_.frame_;
    CDlgTaskExisted dialog(frame ? &frame->Services() : nullptr, QString::fromStdString(url),
                           existingTaskIndex, frame ? frame->Window() : nullptr);
    dialog.exec();
  }

 private:
  DialogFeatures& owner_;
};

class DialogFeatures::DeleteQuestion : public DeleteConfirmation {
 public:
  explicit DeleteQuestion(DialogFeatures& owner) : owner_(owner) {}
  bool Confirm(bool& alsoDeleteFiles) override {
    std::optional<bool> answer = CMsgBoxDlg::Ask(owner_.frame_ ? owner_.frame_->Window() : nullptr);
    if (!answer) return false;
    alsoDeleteFiles = *answer;
    return true;
  }

 private:
  DialogFeatures& owner_;
};

DialogFeatures::DialogFeatures(Parts parts)
    : parts_(std::move(parts)),
      taskExisted_(std::make_unique<TaskExisted>(*this)),
      deleteQuestion_(std::make_unique<DeleteQuestion>(*this)) {}

DialogFeatures::~DialogFeatures() { delete options_.data(); }

COptionDlg* DialogFeatures::OptionsDialog() const { return options_.data(); }

void DialogFeatures::Install(shell::FrameHooks& hooks) {
  auto startMonitor = std::move(hooks.startMonitor);
  hooks.startMonitor = [this, startMonitor](shell::FrameAccess& frame) {
    frame_ = &frame;
    if (startMonitor) startMonitor(frame);
  };

  hooks.messageBox = &messageBox_;
  hooks.askCloseAction = [](QWidget* parent, int32_t preset, bool* dontAskAgain) {
    std::optional<CloseChoice> choice = CDlgActionWhenClose::Ask(preset, parent);
    if (!choice) return -1;
    if (dontAskAgain) *dontAskAgain = choice->doNotAskAgain;
    return choice->action;
  };
  hooks.openOptions = [this](shell::FrameAccess& frame) { OpenOptions(frame); };
  hooks.closeOptions = [this](shell::FrameAccess&) {
    if (options_) options_->reject();
  };
  auto optionsClosed = std::move(hooks.messages[shell::UM_OPTIONS_CLOSED]);
  hooks.messages[shell::UM_OPTIONS_CLOSED] = [this, optionsClosed](shell::FrameAccess& frame,
                                                                  platform::MessageParam w,
                                                                  platform::MessageParam l) {
    options_.clear();
    if (optionsClosed) optionsClosed(frame, w, l);
  };
  hooks.showAbout = [](QWidget* parent) {
    CDlgAbout about(parent);
    about.exec();
  };
  hooks.showTutorial = [this](QWidget* parent) { return CDlgTutorial::Run(parent, parts_.tutorialMovie); };
  hooks.taskExisted = taskExisted_.get();
  hooks.deleteConfirmation = deleteQuestion_.get();
}

void DialogFeatures::OpenOptions(shell::FrameAccess& frame) {
  frame_ = &frame;
  if (!options_) {
    const QString program =
        parts_.programPath.isEmpty() ? QCoreApplication::applicationFilePath() : parts_.programPath;
    options_ = new COptionDlg(frame.AppSettings(), &frame.Services(), program, frame.Window());
    options_->setAttribute(Qt::WA_DeleteOnClose);
  }
  options_->show();
  options_->raise();
  options_->activateWindow();
}
