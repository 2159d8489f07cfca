// nginx with its RTMP module as a real RTMP server for tests: started in the
// foreground from a temporary prefix on 127.0.0.1 and a free port, serving
// the FLV files of one folder as the application "vod".
#pragma once

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace testsupport {

class NginxPeer {
 public:
  NginxPeer() = default;
  ~NginxPeer() { Stop(); }
  NginxPeer(const NginxPeer&) = delete;
  NginxPeer& operator=(const NginxPeer&) = delete;

  // True when nginx and its RTMP module are installed.
  static bool Available();

  // Starts nginx serving the files in media_dir() (put them there before or
  // after starting) and waits until it accepts connections.
  bool Start();
  void Stop();

  int port() const { return port_; }
  const char* host() const { return "127.0.0.1"; }
  const char* app() const { return "vod"; }
  // Folder whose files the application plays; ends in '/'.
  std::string media_dir() const { return prefix_.dir() + "media/"; }
  // The server's error log, for failure messages.
  std::string ErrorLog() const;

 private:
  Sandbox prefix_;
  ChildProcess process_;
  int port_ = 0;
};

// Writes a test FLV with ffmpeg's synthetic sources: `video_codec` and
// `audio_codec` as ffmpeg names them ("libx264" and "aac", or "flv" (Sorenson
// H.263) and "libmp3lame"). True when ffmpeg succeeded.
bool MakeTestFlv(const std::string& path, int seconds, const std::string& video_codec,
                 const std::string& audio_codec);

// Audio and video packets in a media file as ffprobe counts them, or -1.
int CountMediaPackets(const std::string& path);

}  // namespace testsupport
