#include "app/capture/capture_feature.h"

#include <utility>

#include "app/capture/capture_messages.h"
#include "app/capture/media_info_request.h"
#include "app/shell/frame_hooks.h"
#include "core/data_model.h"
#include "core/program_dir.h"
#include "core/settings.h"

namespace capture {

static_assert(kUmCaptured == shell::UM_CAPTURED && kUmCaptureAdd == shell::UM_CAPTURE_ADD &&
              kUmMediaSize == shell::UM_MEDIA_SIZE && kUmMediaDuration == shell::UM_MEDIA_DURATION &&
              kUmOptionsClosed == shell::UM_OPTIONS_CLOSED && kUmHistoryDownload == shell::UM_HISTORY_DOWNLOAD);

namespace {

void Chain(shell::FrameHooks& hooks, uint32_t msg, shell::MessageHook mine) {
  shell::MessageHook& slot = hooks.messages[msg];
  if (!slot) {
    slot = std::move(mine);
    return;
  }
  slot = [before = std::move(slot), mine = std::move(mine)](shell::FrameAccess& f, platform::MessageParam w,
                                                            platform::MessageParam l) {
    before(f, w, l);
    mine(f, w, l);
  };
}

}  // namespace

CaptureFeature::CaptureFeature(std::string programDir)
    : programDir_(programDir.empty() ? GetProgramDir() : std::move(programDir)) {}

CaptureFeature::~CaptureFeature() {
  mediaInfo_.Stop();
  bridge_.TearDown();
}

void CaptureFeature::SetPopups(CapturePopups* popups) {
  popups_ = popups;
  if (intake_) intake_->SetPopups(popups);
}

void CaptureFeature::SetSoundPlayer(platform::SoundPlayer* sound) { sound_ = sound; }

void CaptureFeature::Start(shell::FrameAccess& frame) {
  CaptureIntakeServices s;
  s.model = &frame.Model();
  s.settings = &frame.AppSettings();
  s.addTask = [&frame](const TaskRequest& request, AskingWindow* asker) { return frame.AddTask(&request, asker); };
  s.frame = &frame.Services();
  s.mainWindow = frame.WindowHandle();
  s.sound = sound_;
  s.popups = popups_;
  intake_ = std::make_unique<CaptureIntake>(std::move(s));

  bridge_.Create(programDir_);
  bridge_.Start(frame.WindowHandle(), frame.AppSettings());
  bridge_.SetMonitoring(frame.AppSettings().Monitoring != 0);
}

void CaptureFeature::Install(shell::FrameHooks& hooks) {
  hooks.startMonitor = [this](shell::FrameAccess& f) { Start(f); };
  hooks.monitoringChanged = [this](shell::FrameAccess&, bool on) { bridge_.SetMonitoring(on); };
  hooks.stopMonitor = [this](shell::FrameAccess&) { bridge_.ClearFlag(); };
  hooks.startMediaInfo = [this](shell::FrameAccess& f) {
    mediaInfo_.Start(programDir_ + kMediaInfoLibraryName, &f.Services());
  };
  hooks.stopMediaInfo = [this](shell::FrameAccess&) { mediaInfo_.Stop(5000); };
  hooks.queueMediaInfo = [this](shell::FrameAccess& f, int32_t taskIndex) {
    // The path is taken here, on the user-interface thread, so the worker
    // never reads the task list while it changes.
    if (const DataRecord* task = f.Model().FindTask(taskIndex))
      mediaInfo_.Enqueue(taskIndex, DataModel::FinalPathWithSeparator(*task));
  };
  // A capture popup's "Download again" and "Check" name their capture record.
  hooks.captureAddress = [this](shell::FrameAccess&, int32_t captureId) {
    const CaptureRecord* record = intake_ ? intake_->Find(captureId) : nullptr;
    return record ? record->address : std::string();
  };
  hooks.releaseCapture = [this](shell::FrameAccess&) {
    if (intake_) intake_->ClearHistory();
  };

  Chain(hooks, kUmCaptured, [this](shell::FrameAccess&, platform::MessageParam w, platform::MessageParam) {
    if (intake_) intake_->OnCaptured(static_cast<uint32_t>(w));
  });
  // Only a popup that recognises the first parameter as its own is told
  // about the new task.
  Chain(hooks, kUmCaptureAdd, [this](shell::FrameAccess&, platform::MessageParam w, platform::MessageParam l) {
    if (intake_) intake_->OnCaptureAdd(popups_ ? popups_->VouchedAsker(w) : nullptr, static_cast<int32_t>(l));
  });
  Chain(hooks, kUmHistoryDownload, [this](shell::FrameAccess&, platform::MessageParam w, platform::MessageParam) {
    if (intake_) intake_->OnHistoryDownload(static_cast<int32_t>(w));
  });
  // The frame redraws the task's row after these.
  Chain(hooks, kUmMediaDuration, [](shell::FrameAccess& f, platform::MessageParam w, platform::MessageParam l) {
    ApplyMediaDuration(f.Model(), static_cast<int32_t>(w), static_cast<int32_t>(l));
  });
  Chain(hooks, kUmMediaSize, [](shell::FrameAccess& f, platform::MessageParam w, platform::MessageParam l) {
    ApplyMediaSize(f.Model(), static_cast<int32_t>(w), static_cast<int32_t>(l));
  });
  Chain(hooks, kUmOptionsClosed, [this](shell::FrameAccess& f, platform::MessageParam, platform::MessageParam) {
    bridge_.RefreshLists(f.AppSettings());
  });
}

}  // namespace capture
