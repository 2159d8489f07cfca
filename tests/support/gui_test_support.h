// Widget tests: one offscreen QApplication per test program, and a message
// box that records what it was asked and answers as told.
#pragma once

#include <QApplication>

#include <string>
#include <vector>

#include "platform/message_box.h"

namespace testsupport {

inline QApplication& OffscreenApp() {
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);  // kept for the whole run
  }();
  return *app;
}

class RecordingMessageBoxes : public platform::MessageBoxSink {
 public:
  RecordingMessageBoxes() { platform::SetMessageBoxSink(this); }
  ~RecordingMessageBoxes() override { platform::SetMessageBoxSink(nullptr); }

  int answer = platform::IDYES;
  std::vector<std::string> texts;  // "caption: text"
  std::vector<uint32_t> styles;

  int Show(const std::string& caption, const std::string& text, uint32_t style) override {
    texts.push_back(caption + ": " + text);
    styles.push_back(style);
    return answer;
  }
};

}  // namespace testsupport
