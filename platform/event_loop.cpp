#include "platform/event_loop.h"

namespace platform {

void EventLoop::Post(uint32_t msg, MessageParam wParam, MessageParam lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({msg, wParam, lParam});
  }
  wake_.notify_one();
}

void EventLoop::SetTimer(int id, int periodMs) {
  auto period = std::chrono::milliseconds(periodMs > 0 ? periodMs : 1);
  timers_[id] = Timer{period, Clock::now() + period};
}

void EventLoop::KillTimer(int id) { timers_.erase(id); }

void EventLoop::Quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
}

void EventLoop::Run() {
  for (;;) {
    // Next due timer, if any.
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (next == timers_.end() || it->second.due < next->second.due) next = it;

    Message m{};
    bool haveMessage = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      auto ready = [this] { return quit_ || !queue_.empty(); };
      if (next == timers_.end())
        wake_.wait(lock, ready);
      else
        wake_.wait_until(lock, next->second.due, ready);
      if (quit_) {
        quit_ = false;
        return;
      }
      if (!queue_.empty()) {
        m = queue_.front();
        queue_.pop_front();
        haveMessage = true;
      }
    }
    if (haveMessage) {
      if (handler_) handler_->OnMessage(m.msg, m.wParam, m.lParam);
      continue;
    }
    if (next != timers_.end() && Clock::now() >= next->second.due) {
      int id = next->first;
      next->second.due += next->second.period;
      if (next->second.due < Clock::now()) next->second.due = Clock::now() + next->second.period;
      if (handler_) handler_->OnTimer(id);
    }
  }
}

}  // namespace platform
