#include "app/shell/notify/completion_notifier.h"

#include <utility>

#include "app/capture/popups/popup_center.h"
#include "core/data_model.h"
#include "core/settings.h"

CompletionNotifier::CompletionNotifier(const Settings& settings, const DataModel& model, PopupCenter& popups,
                                       platform::WindowServices* mainWindow, MediaInfoQueue mediaInfo)
    : settings_(settings), model_(model), popups_(popups), mainWindow_(mainWindow), mediaInfo_(std::move(mediaInfo)) {}

void CompletionNotifier::OnTaskCompleted(int32_t taskIndex) {
  if (settings_.ShowFinishPopWnd) {
    if (const DataRecord* task = model_.FindTask(taskIndex)) {
      PopupRequest request;
      request.id = taskIndex;
      request.mainWindow = mainWindow_;
      request.kind = kCompletionPopup;
      request.text = DataModel::FinalPathWithSeparator(*task);
      popups_.QueueCompletion(request);
    }
  }
  // The worker skips a task that is gone by the time it looks.
  if (mediaInfo_) mediaInfo_(taskIndex);
}
