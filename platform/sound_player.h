// Synchronous playback of a wave file. No audio device, no player program or
// a missing file is silence, never an error the caller must handle.
#pragma once

#include <string>

namespace platform {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Plays the file to its end; false when nothing was played.
  virtual bool PlaySync(const std::string& path) = 0;
};

// Plays through the desktop's sound server or ALSA command-line players when
// one is installed (pw-play, paplay, aplay), else stays silent.
class SystemSoundPlayer : public SoundPlayer {
 public:
  bool PlaySync(const std::string& path) override;
};

}  // namespace platform
