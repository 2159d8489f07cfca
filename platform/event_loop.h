// Window services on real time without a GUI toolkit: the command-line tool
// runs its task runner on this loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/window_services.h"

namespace platform {

class EventLoop : public WindowServices {
 public:
  void SetHandler(MessageHandler* handler) override { handler_ = handler; }
  void Post(uint32_t msg, MessageParam wParam, MessageParam lParam) override;
  void SetTimer(int id, int periodMs) override;
  void KillTimer(int id) override;

  // Delivers messages and timer ticks on the calling thread until Quit.
  void Run();
  // Ends Run after the current delivery. Safe from any thread.
  void Quit();

 private:
  using Clock = std::chrono::steady_clock;
  struct Message {
    uint32_t msg;
    MessageParam wParam, lParam;
  };
  struct Timer {
    Clock::duration period;
    Clock::time_point due;
  };

  MessageHandler* handler_ = nullptr;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Message> queue_;
  std::map<int, Timer> timers_;  // touched on the loop's thread only
  bool quit_ = false;
};

}  // namespace platform
