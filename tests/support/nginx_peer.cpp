#include "tests/support/nginx_peer.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>

namespace testsupport {

namespace {

constexpr const char* kRtmpModule = "/usr/lib/nginx/modules/ngx_rtmp_module.so";

std::string NginxProgram() {
  return ::access("/usr/sbin/nginx", X_OK) == 0 ? "/usr/sbin/nginx" : "nginx";
}

}  // namespace

bool NginxPeer::Available() {
  return HaveProgram("nginx") && ::access(kRtmpModule, R_OK) == 0;
}

bool NginxPeer::Start() {
  Stop();
  std::filesystem::create_directories(media_dir());
  std::filesystem::create_directories(prefix_.path("logs"));
  port_ = FreeTcpPort();
  std::ostringstream conf;
  conf << "load_module " << kRtmpModule << ";\n"
       << "daemon off;\n"
       << "master_process off;\n"
       << "worker_processes 1;\n"
       << "pid " << prefix_.path("nginx.pid") << ";\n"
       << "error_log " << prefix_.path("error.log") << " info;\n"
       << "events { worker_connections 64; }\n"
       << "rtmp {\n"
       << "  server {\n"
       << "    listen 127.0.0.1:" << port_ << ";\n"
       << "    application vod { play " << media_dir() << "; }\n"
       << "  }\n"
       << "}\n";
  prefix_.WriteFile("nginx.conf", conf.str());
  if (!process_.Start({NginxProgram(), "-p", prefix_.dir(), "-e", prefix_.path("error.log"), "-c",
                       prefix_.path("nginx.conf")},
                      prefix_.path("stdout.log")))
    return false;
  if (!WaitForPort(port_)) {
    Stop();
    return false;
  }
  return true;
}

void NginxPeer::Stop() {
  if (process_.running()) process_.Stop();
}

std::string NginxPeer::ErrorLog() const {
  return ReadWholeFile(prefix_.path("error.log")) + ReadWholeFile(prefix_.path("stdout.log"));
}

bool MakeTestFlv(const std::string& path, int seconds, const std::string& video_codec,
                 const std::string& audio_codec) {
  std::string t = std::to_string(seconds);
  return RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                     "testsrc=size=160x120:rate=25", "-f", "lavfi", "-i",
                     "sine=frequency=440:sample_rate=22050", "-t", t, "-c:v", video_codec, "-c:a",
                     audio_codec, "-ar", "22050", "-f", "flv", path}) == 0;
}

int CountMediaPackets(const std::string& path) {
  std::string out;
  if (RunCommand({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                  "stream=nb_read_packets", "-of", "csv=p=0", path},
                 &out) != 0)
    return -1;
  int total = 0;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) total += std::stoi(line);
  return total;
}

}  // namespace testsupport
