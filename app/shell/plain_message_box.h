// The message box the program uses until its own dialog is installed: the
// platform's box with the same captions, buttons and icons.
#pragma once

#include "platform/message_box.h"

class QWidget;

namespace shell {

class PlainMessageBox : public platform::MessageBoxSink {
 public:
  int Show(const std::string& caption, const std::string& text, uint32_t style) override;
};

// Guards a box against calls from other threads (the Task.dat writer):
// those are shown later on the user-interface thread and answered at once
// with the cautious answer; calls on that thread go straight through.
class UiThreadMessageBox : public platform::MessageBoxSink {
 public:
  explicit UiThreadMessageBox(platform::MessageBoxSink& inner) : inner_(inner) {}
  int Show(const std::string& caption, const std::string& text, uint32_t style) override;

 private:
  platform::MessageBoxSink& inner_;
};

}  // namespace shell
