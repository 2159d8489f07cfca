#include "tests/support/nginx_peer.h"

#include <unistd.h>

#include <filesystem>

namespace testsupport {

namespace {

std::string NginxProgram() {
  return ::access("/usr/sbin/nginx", X_OK) == 0 ? "/usr/sbin/nginx" : "nginx";
}

}  // namespace

bool NginxPeer::Available() { return HaveProgram("nginx"); }

bool NginxPeer::Start(const std::string& root, const std::string& serverExtra,
                      const std::string& mainExtra) {
  Stop();
  port_ = FreeTcpPort();
  if (port_ <= 0) return false;
  const std::string p = prefix_.dir();
  std::filesystem::create_directories(p + "temp");
  std::filesystem::create_directories(p + "logs");
  // One process that also serves: a root master would hand the work to an
  // unprivileged user who cannot read the test's folders.
  std::string conf = mainExtra + "\n" +
                     "daemon off;\n"
                     "master_process off;\n"
                     "worker_processes 1;\n"
                     "pid " + p + "nginx.pid;\n"
                     "error_log " + p + "error.log warn;\n"
                     "events { worker_connections 64; }\n"
                     "http {\n"
                     "  access_log off;\n"
                     "  default_type application/octet-stream;\n"
                     "  client_body_temp_path " + p + "temp/body;\n"
                     "  proxy_temp_path " + p + "temp/proxy;\n"
                     "  fastcgi_temp_path " + p + "temp/fastcgi;\n"
                     "  uwsgi_temp_path " + p + "temp/uwsgi;\n"
                     "  scgi_temp_path " + p + "temp/scgi;\n"
                     "  server {\n"
                     "    listen 127.0.0.1:" + std::to_string(port_) + ";\n"
                     "    root " + root + ";\n" +
                     serverExtra + "\n"
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
  return WaitForPort(port_);
}

void NginxPeer::Kill() { process_.Stop(0); }

void NginxPeer::Stop() { process_.Stop(); }

std::string NginxPeer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string NginxPeer::ErrorLog() const { return ReadWholeFile(prefix_.path("error.log")); }

}  // namespace testsupport
