// The native messaging host's work: reads what the browser extension sends
// on its port, decides whether a request is a capture the running Tamborel
// wants, and hands it over through the same capture side as tamborel-capture.
// Everything from the browser is untrusted.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/capture/browser/host_message.h"
#include "app/capture/capture_sender.h"

namespace browserhost {

// What a capture came to; also its name in answers and the log.
enum class HostResult { Sent, NoProgram, MonitoringOff, BrowserNotMonitored, TypeNotMonitored, Refused };
const char* HostResultName(HostResult result);

using Clock = std::chrono::steady_clock;

struct HostOptions {
  std::string browser;  // executable name of the browser that started the host
  std::string logPath;  // one line per event appended there; empty: no log
  capture::CaptureSendOptions send;
  std::function<Clock::time_point()> now = [] { return Clock::now(); };
};

// The same address again this soon after it was sent is an extension
// repeating itself, not the user asking twice.
inline constexpr std::chrono::seconds kRepeatWindow{3};

// The pattern to capture an address under: the path's file type when it is a
// media type, else the response's Content-Type, preferring a monitored
// pattern where the type stands for two. Empty when neither tells.
std::string ChoosePattern(const std::string& url, const std::string& contentType,
                          const std::vector<std::string>& monitored);

class BrowserHost {
 public:
  explicit BrowserHost(HostOptions options);
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // The answer to one message; empty when it gets none.
  std::string Handle(std::string_view json);
  // Serves the browser's port until it closes: 0 at its end, 1 when the input
  // cannot be followed (oversized or cut frame, read error).
  int Serve(int in, int out);

 private:
  HostResult Capture(const HostMessage& message);
  void Log(const std::string& line);

  HostOptions options_;
  std::FILE* log_ = nullptr;
  std::string lastSent_;
  Clock::time_point lastSentAt_;
};

}  // namespace browserhost
