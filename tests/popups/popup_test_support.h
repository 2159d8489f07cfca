// One Qt application per test program (offscreen unless the test chose a
// platform), and a main window that only records what was posted to it.
#pragma once

#include <QApplication>

#include <clocale>
#include <cstdint>
#include <vector>

#include "flash/mpv_video.h"
#include "platform/window_services.h"

// Made once and never destroyed: Qt's teardown at exit outlives its plugins.
inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "popup_widgets_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* a = new QApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    flash::SetAudioOutput(QStringLiteral("null"));
    return a;
  }();
  return *app;
}

struct PostedMessage {
  uint32_t msg;
  platform::MessageParam wParam, lParam;
  bool operator==(const PostedMessage&) const = default;
};

class RecordingWindow : public platform::WindowServices {
 public:
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) override {
    posted.push_back({msg, wParam, lParam});
  }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}

  std::vector<PostedMessage> posted;
};
