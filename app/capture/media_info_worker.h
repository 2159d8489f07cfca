// The main frame's one thread of its own: once a second it takes the oldest
// finished task from its queue, asks the media-information library for the
// file's size and length, and posts the results to the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class DataModel;

namespace platform {
class WindowServices;
}

namespace capture {

class MediaInfoWorker {
 public:
  MediaInfoWorker();
  ~MediaInfoWorker();  // Stop()
  MediaInfoWorker(const MediaInfoWorker&) = delete;
  MediaInfoWorker& operator=(const MediaInfoWorker&) = delete;

  // Starts the thread, which loads `libraryPath` and resolves its entry
  // point; without either it ends at once and nothing is ever posted.
  // Results go to `frame` as UM_MEDIA_DURATION and UM_MEDIA_SIZE.
  void Start(const std::string& libraryPath, platform::WindowServices* frame, int passMs = 1000);
  // Queues a finished task with its full path, taken on the user-interface
  // thread so the worker never reads the task model.
  void Enqueue(int32_t taskIndex, const std::string& fullPath);
  // Raises the stop flag and waits up to `waitMs`. A thread stuck inside the
  // library is left to end on its own: it no longer posts anything.
  void Stop(int waitMs = 5000);
  // True once the thread ended because the library or its entry was missing.
  bool EndedEarly() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

// Results on the user-interface thread; true when the task exists (its row
// needs a redraw).
bool ApplyMediaDuration(DataModel& model, int32_t taskIndex, int32_t seconds);
bool ApplyMediaSize(DataModel& model, int32_t taskIndex, int32_t packedSize);

}  // namespace capture
