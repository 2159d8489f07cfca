// Capture and monitoring as the main frame carries them: the monitor bridge,
// the captured-address intake and the media-information worker, hooked into
// the frame's start, exit, switches and messages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/capture/capture_intake.h"
#include "app/capture/media_info_worker.h"
#include "app/capture/monitor_bridge.h"
#include "platform/sound_player.h"

namespace shell {
struct FrameHooks;
class FrameAccess;
}  // namespace shell

namespace capture {

class CaptureFeature {
 public:
  // `programDir` (ending in the separator) holds Varnoth.dll and Ombrel.dll;
  // the program's folder when empty.
  explicit CaptureFeature(std::string programDir = {});
  ~CaptureFeature();
  CaptureFeature(const CaptureFeature&) = delete;
  CaptureFeature& operator=(const CaptureFeature&) = delete;

  // Fills the capture slots of the frame's hooks; message hooks already
  // there for the same numbers still run first.
  void Install(shell::FrameHooks& hooks);

  // The capture popups, once they exist; until then every capture is added
  // at once, as with popups switched off.
  void SetPopups(CapturePopups* popups);
  // Replaces the sound layer (tests).
  void SetSoundPlayer(platform::SoundPlayer* sound);

  // Null until the frame has started monitoring.
  CaptureIntake* Intake() { return intake_.get(); }
  MonitorBridge& Bridge() { return bridge_; }

 private:
  void Start(shell::FrameAccess& frame);
  // Points the browsers' native messaging at the host beside this program.
  void RegisterBrowserHost();

  std::string programDir_;
  MonitorBridge bridge_;
  MediaInfoWorker mediaInfo_;
  std::unique_ptr<CaptureIntake> intake_;
  platform::SystemSoundPlayer systemSound_;
  platform::SoundPlayer* sound_ = &systemSound_;
  CapturePopups* popups_ = nullptr;
};

}  // namespace capture
