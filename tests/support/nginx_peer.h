// nginx as a real peer: a foreground process on 127.0.0.1 with a free port,
// run from a temporary prefix that holds its configuration, logs, pid and
// temporary folders, and stopped when the object goes. It serves either
// static files over HTTP or, with its RTMP module, the FLV files of one
// folder as the RTMP application "vod".
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

  // HTTP: serves the files under `root` on port(). `serverExtra` goes into
  // the server block (limit_rate, locations ...); `mainExtra` is put at the
  // top of the configuration.
  bool Start(const std::string& root, const std::string& serverExtra = {},
             const std::string& mainExtra = {});
  // HTTPS: as Start, with the certificate chain and key files given; on
  // `port` when it is not 0.
  bool StartTls(const std::string& root, const std::string& certFile, const std::string& keyFile,
                const std::string& serverExtra = {}, int port = 0);
  // RTMP: serves the files in media_dir() (put them there before or after
  // starting) and waits until it accepts connections.
  bool Start();
  // Starts again with the same configuration and port.
  bool Restart();
  // Ends it at once, open connections and all.
  void Kill();
  void Stop();

  int port() const { return port_; }
  const std::string& prefix() const { return prefix_.dir(); }
  std::string Url(const std::string& path) const;  // HTTP address of a path
  // HTTPS address of a path, naming the server `host`.
  std::string SecureUrl(const std::string& path, const std::string& host = "127.0.0.1") const;
  const char* host() const { return "127.0.0.1"; }
  const char* app() const { return "vod"; }
  // Folder whose files the RTMP application plays; ends in '/'.
  std::string media_dir() const { return prefix_.dir() + "media/"; }
  // The server's error log, for failure messages.
  std::string ErrorLog() const;

 private:
  bool StartHttp(const std::string& root, const std::string& listenSuffix,
                 const std::string& serverExtra, const std::string& mainExtra, int port = 0);

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
