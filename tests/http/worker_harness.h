// Runs one SocketDownLoad attempt and records what it posts, with the log
// lines moved in between as the task list view does.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "http/socket_download.h"
#include "http/task_events.h"

namespace testsupport {

class EventRecorder : public TaskEventSink {
 public:
  explicit EventRecorder(SocketDownLoad* worker) : worker_(worker) {}

  void PostTaskEvent(int32_t code, int32_t taskIndex) override {
    std::lock_guard<std::mutex> lock(mutex_);
    indexes_.push_back(taskIndex);
    if (code != TE_LOG) {
      summary_.push_back(TaskEventName(code));
      last_ = code;
      return;
    }
    for (LogEntry& e : worker_->TakePendingLog()) {
      // Requests and header lines (kinds 1 and 2) are checked on their own.
      if (e.kind == 0 || e.kind == 3)
        summary_.push_back(std::to_string(e.kind) + " " + std::to_string(e.icon) + " " + e.text);
      log_.push_back(std::move(e));
    }
  }

  std::vector<std::string> summary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return summary_;
  }
  std::vector<LogEntry> log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  std::vector<std::string> Lines(int32_t kind) const {
    std::vector<std::string> out;
    for (const auto& e : log())
      if (e.kind == kind) out.push_back(e.text);
    return out;
  }
  std::vector<int32_t> indexes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return indexes_;
  }
  int32_t last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }

 private:
  SocketDownLoad* worker_;
  mutable std::mutex mutex_;
  std::vector<std::string> summary_;
  std::vector<LogEntry> log_;
  std::vector<int32_t> indexes_;
  int32_t last_ = 0;
};

struct Attempt {
  std::vector<std::string> summary;  // events and summary/detail log lines, in order
  std::vector<std::string> request;  // request texts logged
  std::vector<std::string> header;   // response header lines logged
  std::vector<int32_t> indexes;      // TaskIndex of every event
  int32_t last = 0;
  int64_t total = 0;
  int64_t downloaded = 0;
  int64_t speed = 0;
  int32_t elapsed = 0;
};

// One attempt of `worker` for `url` into `tempPath`. `during`, when given,
// runs on this thread while the worker runs on its own.
inline Attempt RunAttemptWith(SocketDownLoad& worker, const std::string& url, const std::string& tempPath,
                              int64_t fileBytes, TaskRequest request = {},
                              const std::function<void(SocketDownLoad&)>& during = {}) {
  EventRecorder recorder(&worker);
  worker.Attach(&recorder);
  request.URL = url;
  size_t slash = tempPath.rfind('/');
  request.SaveDir = tempPath.substr(0, slash + 1);
  request.TempFile = tempPath.substr(slash + 1);
  worker.Setup(request, 7, fileBytes);
  if (during) {
    worker.thread = std::thread([&worker] { worker.Run(); });
    during(worker);
    worker.thread.join();
  } else {
    worker.Run();
  }
  Attempt a;
  a.summary = recorder.summary();
  a.request = recorder.Lines(1);
  a.header = recorder.Lines(2);
  a.indexes = recorder.indexes();
  a.last = recorder.last();
  a.total = worker.totalSize;
  a.downloaded = worker.downloaded;
  a.speed = worker.speed;
  a.elapsed = worker.elapsed;
  return a;
}

inline Attempt RunAttempt(const std::string& url, const std::string& tempPath, int64_t fileBytes,
                          TaskRequest request = {},
                          const std::function<void(SocketDownLoad&)>& during = {}) {
  SocketDownLoad worker;
  return RunAttemptWith(worker, url, tempPath, fileBytes, std::move(request), during);
}

// Waits until the worker has at least `bytes` (or gives up after a while).
inline bool WaitForBytes(const SocketDownLoad& worker, int64_t bytes) {
  for (int i = 0; i < 3000; ++i) {
    if (worker.downloaded >= bytes) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

}  // namespace testsupport
