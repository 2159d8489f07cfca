#include "app/capture/media_info_worker.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "app/capture/capture_messages.h"
#include "app/capture/fixed_field.h"
#include "app/capture/media_info_request.h"
#include "core/data_model.h"
#include "platform/alt_signal_stack.h"
#include "platform/window_services.h"

namespace capture {

// Everything the thread touches; it keeps its own reference, so a thread
// left behind by Stop never reaches freed memory.
struct MediaInfoWorker::Shared {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<std::pair<int32_t, std::string>> queue;
  bool stop = false;
  bool ended = false;
  bool endedEarly = false;
  platform::WindowServices* frame = nullptr;  // null once stopped
  int passMs = 1000;
  std::thread thread;

  void Post(uint32_t msg, platform::MessageParam w, platform::MessageParam l) {
    std::lock_guard<std::mutex> g(lock);
    if (frame) frame->Post(msg, w, l);
  }

  void Examine(MediaInfoCall call, int32_t taskIndex, const std::string& path) {
    using L = MediaInfoRequestLayout;
    uint8_t request[L::kSize] = {};
    // A path the field cannot hold whole would name another file.
    if (!WriteField(request + L::kPath, L::kPathSize, path)) return;
    if (call(request) == 0) return;
    const int32_t width = static_cast<int32_t>(ReadU32(request + L::kWidth));
    const int32_t height = static_cast<int32_t>(ReadU32(request + L::kHeight));
    const int32_t d1 = static_cast<int32_t>(ReadU32(request + L::kDuration1));
    const int32_t d2 = static_cast<int32_t>(ReadU32(request + L::kDuration2));
    const int32_t seconds = (d1 > d2 ? d1 : d2) / 1000;
    if (seconds >= 0) Post(kUmMediaDuration, taskIndex, seconds);
    // Each half of the packed size holds 16 bits; larger values would mix.
    if (width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF)
      Post(kUmMediaSize, taskIndex, static_cast<platform::MessageParam>(width) * 65536 + height);
  }

  void Run(const std::string& libraryPath) {
    const platform::AltSignalStack crashStack;  // the media library may overflow its stack
    void* library = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto call = library ? reinterpret_cast<MediaInfoCall>(::dlsym(library, kMediaInfoEntryName)) : nullptr;
    if (!call) {
      std::lock_guard<std::mutex> g(lock);
      endedEarly = ended = true;
      return;
    }
    // The library stays loaded for the life of the process.
    for (;;) {
      std::pair<int32_t, std::string> next;
      {
        std::unique_lock<std::mutex> g(lock);
        wake.wait_for(g, std::chrono::milliseconds(passMs), [&] { return stop; });
        if (stop) break;
        if (queue.empty()) continue;
        next = std::move(queue.front());
        queue.pop_front();
      }
      Examine(call, next.first, next.second);
    }
    std::lock_guard<std::mutex> g(lock);
    ended = true;
    wake.notify_all();
  }
};

MediaInfoWorker::MediaInfoWorker() : shared_(std::make_shared<Shared>()) {}

MediaInfoWorker::~MediaInfoWorker() { Stop(); }

void MediaInfoWorker::Start(const std::string& libraryPath, platform::WindowServices* frame, int passMs) {
  Stop(0);
  shared_ = std::make_shared<Shared>();
  shared_->frame = frame;
  shared_->passMs = passMs;
  shared_->thread = std::thread([keep = shared_, libraryPath] { keep->Run(libraryPath); });
}

void MediaInfoWorker::Enqueue(int32_t taskIndex, const std::string& fullPath) {
  std::lock_guard<std::mutex> g(shared_->lock);
  shared_->queue.emplace_back(taskIndex, fullPath);
}

void MediaInfoWorker::Stop(int waitMs) {
  Shared& s = *shared_;
  if (!s.thread.joinable()) return;
  bool ended;
  {
    std::unique_lock<std::mutex> g(s.lock);
    s.stop = true;
    s.queue.clear();  // identifiers still waiting at exit are dropped
    s.wake.notify_all();
    ended = s.wake.wait_for(g, std::chrono::milliseconds(waitMs), [&] { return s.ended; });
    s.frame = nullptr;
  }
  if (ended)
    s.thread.join();
  else
    s.thread.detach();
}

bool MediaInfoWorker::EndedEarly() const {
  std::lock_guard<std::mutex> g(shared_->lock);
  return shared_->endedEarly;
}

bool ApplyMediaDuration(DataModel& model, int32_t taskIndex, int32_t seconds) {
  DataRecord* task = model.FindTask(taskIndex);
  if (!task) return false;
  char text[32];
  std::snprintf(text, sizeof(text), "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
  task->Duration = text;
  return true;
}

bool ApplyMediaSize(DataModel& model, int32_t taskIndex, int32_t packedSize) {
  DataRecord* task = model.FindTask(taskIndex);
  if (!task) return false;
  const uint32_t packed = static_cast<uint32_t>(packedSize);
  task->Width = static_cast<int32_t>(packed >> 16);
  task->Height = static_cast<int32_t>(packed & 0xFFFF);
  return true;
}

}  // namespace capture
