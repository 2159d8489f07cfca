// A running Tamborel as far as the capture side can tell, inside the test:
// the monitor map with its monitoring flag and lists, and a window whose
// captures reach a real intake. Needs VARNOTH (the stand-in capture library)
// defined by the test's build.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/capture/capture_intake.h"
#include "app/capture/capture_messages.h"
#include "app/capture/monitor_bridge.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "platform/message_port.h"

namespace testsupport {

// Capture blocks still in /dev/shm.
inline std::vector<std::string> CaptureBlocksLeft() {
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm"))
    if (e.path().filename().string().rfind("QUORLIN_DL_", 0) == 0) left.push_back(e.path().filename());
  return left;
}

// A running Tamborel as far as the capture side can tell: the monitor map,
// and a window whose messages reach the intake.
class FakeTamborel : public platform::WindowServices {
 public:
  FakeTamborel() {
    settings.PlaySound = 0;
    settings.ShowCapturePopWnd = 0;
    capture::CaptureIntakeServices s;
    s.model = &model;
    s.settings = &settings;
    intake = std::make_unique<capture::CaptureIntake>(s);
  }
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, platform::MessageParam w, platform::MessageParam) override {
    std::lock_guard<std::mutex> g(lock);
    if (msg == capture::kUmCaptured && readBlocks) intake->OnCaptured(static_cast<uint32_t>(w));
  }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}

  bool Start() {
    bridge.Create(std::filesystem::path(VARNOTH).parent_path().string() + "/");
    if (!bridge.Active() || !port.Open()) return false;
    bridge.Start(port.Handle(), settings);
    return true;
  }
  std::vector<capture::CaptureRecord> History() {
    std::lock_guard<std::mutex> g(lock);
    return intake->History();
  }

  std::mutex lock;
  bool readBlocks = true;
  Settings settings;
  DataModel model;
  std::unique_ptr<capture::CaptureIntake> intake;
  capture::MonitorBridge bridge;
  platform::MessagePort port{this};
};

// What a captured HTTP address must have become in the history.
struct ExpectedCapture {
  std::string address, pattern, referer, userAgent, cookie;
};
inline void ExpectCapture(const capture::CaptureRecord& r, const ExpectedCapture& e) {
  EXPECT_EQ(r.address, e.address);
  EXPECT_EQ(r.pattern, e.pattern);
  EXPECT_EQ(r.referer, e.referer);
  EXPECT_EQ(r.userAgent, e.userAgent);
  EXPECT_EQ(r.cookie, e.cookie);
}

}  // namespace testsupport
