// Posted window messages and window timers: how worker threads reach the
// user-interface thread, and how that thread keeps its timers. The programs
// use the Qt event loop; the command-line tool a plain loop; tests a manual
// clock on which timers run in virtual time.
#pragma once

#include <cstdint>

namespace platform {

using MessageParam = intptr_t;

// A window: receives what was posted to it, and its timers.
class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  virtual void OnMessage(uint32_t msg, MessageParam wParam, MessageParam lParam) = 0;
  virtual void OnTimer(int id) = 0;
};

class WindowServices {
 public:
  virtual ~WindowServices() = default;
  // The window that gets the messages and timers; set before anything is posted.
  virtual void SetHandler(MessageHandler* handler) = 0;
  // Queues a message for the handler. Safe from any thread; never waits.
  virtual void Post(uint32_t msg, MessageParam wParam, MessageParam lParam) = 0;
  // Starts a periodic timer; setting a running id re-arms it. UI thread only.
  virtual void SetTimer(int id, int periodMs) = 0;
  // Stops a timer; no tick of it arrives afterwards. UI thread only.
  virtual void KillTimer(int id) = 0;
};

}  // namespace platform
