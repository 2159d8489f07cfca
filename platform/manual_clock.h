// Window services on a manual clock: time moves only when the test says so,
// so retry and watchdog timing runs in milliseconds of real time. Messages
// posted by real worker threads are queued and delivered on the test's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/window_services.h"

namespace platform {

class ManualClock : public WindowServices {
 public:
  void SetHandler(MessageHandler* handler) override { handler_ = handler; }
  void Post(uint32_t msg, MessageParam wParam, MessageParam lParam) override;
  void SetTimer(int id, int periodMs) override;
  void KillTimer(int id) override;

  int64_t NowMs() const { return now_; }
  bool TimerRunning(int id) const { return timers_.count(id) != 0; }
  size_t TimerCount() const { return timers_.size(); }

  // Delivers every queued message (and those the handler posts meanwhile);
  // returns how many.
  size_t DeliverPending();
  // Moves the clock forward, firing due timers in order and delivering the
  // messages in between.
  void Advance(int64_t ms);
  // Moves the clock to the next timer tick and fires it; false when none runs.
  bool AdvanceToNextTimer();
  // Waits in real time for worker messages and delivers them until `done`
  // holds; false when `realTimeoutMs` ran out first.
  bool DeliverUntil(const std::function<bool()>& done, int realTimeoutMs = 30000);

 private:
  struct Message {
    uint32_t msg;
    MessageParam wParam, lParam;
  };
  struct Timer {
    int64_t period;
    int64_t due;
    uint64_t order;  // ties fire in the order they were set
  };
  bool FireNextDueBy(int64_t limit);

  MessageHandler* handler_ = nullptr;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> queue_;
  std::map<int, Timer> timers_;
  int64_t now_ = 0;
  uint64_t order_ = 0;
};

}  // namespace platform
