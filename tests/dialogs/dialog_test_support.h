// What the dialog tests share: a frame that records what is posted to it,
// and a way to act on the modal dialog a call is about to run.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/gui_test_support.h"
#include "platform/window_services.h"

namespace dialogtest {

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
// is still open after `act`, it is ended so the test cannot hang;
// `stillOpen` tells whether that was needed. Nothing runs once the returned
// object is gone, so a dialog that never came cannot meet a later test's.
[[nodiscard]] std::unique_ptr<QObject> WhenModalShows(std::function<void(QWidget*)> act,
                                                      bool* stillOpen = nullptr);

}  // namespace dialogtest
