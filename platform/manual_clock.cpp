#include "platform/manual_clock.h"

#include <algorithm>
#include <chrono>

namespace platform {

void ManualClock::Post(uint32_t msg, MessageParam wParam, MessageParam lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({msg, wParam, lParam});
  }
  arrived_.notify_all();
}

void ManualClock::SetTimer(int id, int periodMs) {
  int64_t period = periodMs > 0 ? periodMs : 1;
  timers_[id] = Timer{period, now_ + period, order_++};
}

void ManualClock::KillTimer(int id) { timers_.erase(id); }

size_t ManualClock::DeliverPending() {
  size_t count = 0;
  for (;;) {
    Message m;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return count;
      m = queue_.front();
      queue_.pop_front();
    }
    ++count;
    if (handler_) handler_->OnMessage(m.msg, m.wParam, m.lParam);
  }
}

bool ManualClock::FireNextDueBy(int64_t limit) {
  auto next = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due > limit) continue;
    if (next == timers_.end() || it->second.due < next->second.due ||
        (it->second.due == next->second.due && it->second.order < next->second.order))
      next = it;
  }
  if (next == timers_.end()) return false;
  int id = next->first;
  now_ = next->second.due;
  next->second.due += next->second.period;
  if (handler_) handler_->OnTimer(id);
  DeliverPending();
  return true;
}

void ManualClock::Advance(int64_t ms) {
  int64_t target = now_ + ms;
  DeliverPending();
  while (FireNextDueBy(target)) {
  }
  now_ = target;
}

bool ManualClock::AdvanceToNextTimer() {
  DeliverPending();
  if (timers_.empty()) return false;
  return FireNextDueBy(INT64_MAX);
}

bool ManualClock::DeliverUntil(const std::function<bool()>& done, int realTimeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
  for (;;) {
    DeliverPending();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return done();
    // Wake at least every 10 ms: `done` may watch a worker's counters too.
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_until(lock, std::min(end, std::chrono::steady_clock::now() + std::chrono::milliseconds(10)),
                        [this] { return !queue_.empty(); });
  }
}

}  // namespace platform
