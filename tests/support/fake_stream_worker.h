// A download worker stand-in for stream recording tests: it keeps every
// report and log line, the live counters and the published connection, and
// sets abort flags on request as the user-interface thread would.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/stream_worker.h"

namespace testsupport {

class FakeStreamWorker : public StreamWorker {
 public:
  struct Event {
    int32_t code;
    int32_t kind;
    int32_t icon;
    std::string text;
  };

  void AddLog(int32_t kind, int32_t icon, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!text.empty()) logs.push_back({0, kind, icon, text});
  }
  bool Report(int32_t code, int32_t kind, int32_t icon, const std::string& text) override {
    if (Aborting()) {
      PostAbort();
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    events.push_back({code, kind, icon, text});
    return true;
  }
  bool CheckAbort() override {
    if (!Aborting()) return false;
    PostAbort();
    return true;
  }
  void PublishStreamClient(StreamConnection* client) override {
    std::lock_guard<std::mutex> lock(clientLock_);
    client_ = client;
    if (client) ++published;
  }
  // What Stop does: the flag, then a close of the running connection.
  void Stop() {
    cancelFlag = 1;
    std::lock_guard<std::mutex> lock(clientLock_);
    if (client_) client_->Close();
  }
  bool HasClient() {
    std::lock_guard<std::mutex> lock(clientLock_);
    return client_ != nullptr;
  }

  int64_t TotalSize() const override { return totalSize; }
  void SetTotalSize(int64_t v) override { totalSize = v; }
  int64_t Downloaded() const override { return downloaded; }
  void SetDownloaded(int64_t v) override { downloaded = v; }
  void SetSpeed(int64_t v) override { speed = v; }
  void SetElapsed(int32_t v) override { elapsed = v; }
  uint32_t StartTick() const override { return startTick; }
  void SetStartTick(uint32_t v) override { startTick = v; }
  void PublishStreamProgress(bool tunnelled, const std::string& text, int32_t left) override {
    std::lock_guard<std::mutex> lock(mutex_);
    progressTunnelled = tunnelled;
    progress = text;
    timeLeft = left;
  }

  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events;
  }
  std::vector<int32_t> Codes() {
    std::vector<int32_t> out;
    for (const Event& e : Events()) out.push_back(e.code);
    return out;
  }
  bool HasEvent(int32_t code, const std::string& text) {
    for (const Event& e : Events())
      if (e.code == code && e.text == text) return true;
    return false;
  }

  std::atomic<int32_t> cancelFlag{0};
  std::atomic<int64_t> totalSize{0}, downloaded{0}, speed{0};
  std::atomic<int32_t> elapsed{0}, timeLeft{0};
  std::atomic<uint32_t> startTick{0};
  std::atomic<int> published{0};
  std::atomic<int> aborts{0};
  std::string progress;
  bool progressTunnelled = false;
  std::vector<Event> events;
  std::vector<Event> logs;

 private:
  bool Aborting() const { return cancelFlag != 0; }
  void PostAbort() {
    ++aborts;
    std::lock_guard<std::mutex> lock(mutex_);
    events.push_back({2273, 0, 3, "User canceled the downloading."});
  }

  std::mutex mutex_;
  std::mutex clientLock_;
  StreamConnection* client_ = nullptr;
};

}  // namespace testsupport
