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

// One process that also serves: a root master would hand the work to an
// unprivileged user who cannot read the test's folders.
std::string CommonConfig(const std::string& p) {
  return "daemon off;\n"
         "master_process off;\n"
         "worker_processes 1;\n"
         "pid " + p + "nginx.pid;\n"
         "error_log " + p + "error.log info;\n"
         "events { worker_connections 64; }\n";
}

}  // namespace

bool NginxPeer::Available() { return HaveProgram("nginx") && ::access(kRtmpModule, R_OK) == 0; }

bool NginxPeer::Start(const std::string& root, const std::string& serverExtra,
                      const std::string& mainExtra) {
  return StartHttp(root, "", serverExtra, mainExtra);
}

bool NginxPeer::StartTls(const std::string& root, const std::string& certFile,
                         const std::string& keyFile, const std::string& serverExtra, int port) {
  return StartHttp(root, " ssl",
                   "    ssl_certificate " + certFile + ";\n    ssl_certificate_key " + keyFile + ";\n" +
                       serverExtra,
                   {}, port);
}

bool NginxPeer::StartHttp(const std::string& root, const std::string& listenSuffix,
                          const std::string& serverExtra, const std::string& mainExtra, int port) {
  Stop();
  port_ = port > 0 ? port : FreeTcpPort();
  if (port_ <= 0) return false;
  const std::string p = prefix_.dir();
  std::filesystem::create_directories(p + "temp");
  std::filesystem::create_directories(p + "logs");
  std::string conf = mainExtra + "\n" + CommonConfig(p) +
                     "http {\n"
                     "  access_log off;\n"
                     "  default_type application/octet-stream;\n"
                     "  client_body_temp_path " + p + "temp/body;\n"
                     "  proxy_temp_path " + p + "temp/proxy;\n"
                     "  fastcgi_temp_path " + p + "temp/fastcgi;\n"
                     "  uwsgi_temp_path " + p + "temp/uwsgi;\n"
                     "  scgi_temp_path " + p + "temp/scgi;\n"
                     "  server {\n"
                     "    listen 127.0.0.1:" + std::to_string(port_) + listenSuffix + ";\n"
                     "    root " + root + ";\n" +
                     serverExtra + "\n"
                     "  }\n"
                     "}\n";
  prefix_.WriteFile("nginx.conf", conf);
  return Restart();
}

bool NginxPeer::Start() {
  Stop();
  port_ = FreeTcpPort();
  if (port_ <= 0) return false;
  const std::string p = prefix_.dir();
  std::filesystem::create_directories(media_dir());
  std::filesystem::create_directories(p + "logs");
  std::string conf = std::string("load_module ") + kRtmpModule + ";\n" + CommonConfig(p) +
                     "rtmp {\n"
                     "  server {\n"
                     "    listen 127.0.0.1:" + std::to_string(port_) + ";\n"
                     "    application vod { play " + media_dir() + "; }\n"
                     "  }\n"
                     "}\n";
  prefix_.WriteFile("nginx.conf", conf);
  return Restart();
}

bool NginxPeer::Restart() {
  process_.Stop();
  const std::string p = prefix_.dir();
  if (!process_.Start({NginxProgram(), "-p", p, "-e", p + "error.log", "-c", p + "nginx.conf"},
                      p + "stderr.log"))
    return false;
  if (!WaitForPort(port_)) {
    Stop();
    return false;
  }
  return true;
}

void NginxPeer::Kill() { process_.Stop(0); }

void NginxPeer::Stop() {
  if (process_.running()) process_.Stop();
}

std::string NginxPeer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string NginxPeer::SecureUrl(const std::string& path, const std::string& host) const {
  return "https://" + host + ":" + std::to_string(port_) + path;
}

std::string NginxPeer::ErrorLog() const {
  return ReadWholeFile(prefix_.path("error.log")) + ReadWholeFile(prefix_.path("stderr.log"));
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
