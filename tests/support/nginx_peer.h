// nginx as a real peer: a foreground process on 127.0.0.1 with a free port,
// run from a temporary prefix that holds its configuration, logs, pid and
// temporary folders, and stopped when the object goes.
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

  static bool Available();

  // Serves the files under `root` over HTTP on port(). `serverExtra` goes
  // into the server block (limit_rate, locations ...); `mainExtra` is put at
  // the top of the configuration (load_module, an rtmp block ...).
  bool Start(const std::string& root, const std::string& serverExtra = {},
             const std::string& mainExtra = {});
  // Starts again with the same configuration and port.
  bool Restart();
  // Ends it at once, open connections and all.
  void Kill();
  void Stop();

  int port() const { return port_; }
  const std::string& prefix() const { return prefix_.dir(); }
  std::string Url(const std::string& path) const;
  std::string ErrorLog() const;

 private:
  Sandbox prefix_;
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace testsupport
