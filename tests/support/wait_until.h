// Polls a condition every 100 ms until it holds or the time is up; the
// bound is for "it ends", never a measure of speed.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

inline bool WaitUntil(const std::function<bool()>& done, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

}  // namespace testsupport
