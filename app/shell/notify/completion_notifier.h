// What happens for every completed task once the runner has played the
// finish sound: a completion popup is queued (while those are on), and the
// file always goes to the media-information worker.
#pragma once

#include <cstdint>
#include <functional>

#include "app/download/runner_hosts.h"

class DataModel;
class PopupCenter;
class Settings;

namespace platform {
class WindowServices;
}

class CompletionNotifier : public CompletionNotice {
 public:
  using MediaInfoQueue = std::function<void(int32_t taskIndex)>;

  CompletionNotifier(const Settings& settings, const DataModel& model, PopupCenter& popups,
                     platform::WindowServices* mainWindow, MediaInfoQueue mediaInfo);

  void OnTaskCompleted(int32_t taskIndex) override;

 private:
  const Settings& settings_;
  const DataModel& model_;
  PopupCenter& popups_;
  platform::WindowServices* mainWindow_;
  MediaInfoQueue mediaInfo_;
};
