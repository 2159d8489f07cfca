// What the dialog tests share: one offscreen application, a message box
// that records instead of showing, a frame that records what is posted to
// it, and a way to act on the modal dialog a call is about to run.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/window_services.h"

namespace dialogtest {

QApplication& App();

struct ShownMessage {
  std::string caption;
  std::string text;
  uint32_t style;
};

// Installed for the life of the object; answers every box with `answer`.
class RecordingMessageBoxes : public platform::MessageBoxSink {
 public:
  explicit RecordingMessageBoxes(int answer = platform::IDOK) : answer_(answer) {
    platform::SetMessageBoxSink(this);
  }
  ~RecordingMessageBoxes() override { platform::SetMessageBoxSink(nullptr); }
  int Show(const std::string& caption, const std::string& text, uint32_t style) override {
    shown.push_back({caption, text, style});
    return answer_;
  }
  std::vector<ShownMessage> shown;

 private:
  int answer_;
};

struct PostedMessage {
  uint32_t msg;
  platform::MessageParam wParam;
  platform::MessageParam lParam;
  bool operator==(const PostedMessage&) const = default;
};

class RecordingFrame : public platform::WindowServices {
 public:
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, platform::MessageParam w, platform::MessageParam l) override {
    posted.push_back({msg, w, l});
  }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}
  std::vector<PostedMessage> posted;
};

// Runs `act` on the modal dialog once the event loop shows it. If the dialog
// is still open after `act` (or none appeared), it is rejected so the test
// cannot hang; `stillOpen` tells whether that was needed.
void WhenModalShows(std::function<void(QWidget*)> act, bool* stillOpen = nullptr);

}  // namespace dialogtest
