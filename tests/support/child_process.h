// Real peers for tests (nginx, ffmpeg, scripted servers): started here on
// 127.0.0.1 and always stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeTcpPort();

// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, int timeout_ms = 10000);

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] is looked up on PATH. Output goes to `log_path` when given.
  bool Start(const std::vector<std::string>& argv, const std::string& log_path = {});
  // SIGTERM, then SIGKILL after a grace period; returns the exit status.
  int Stop(int grace_ms = 3000);
  // Waits for the process to end by itself; -1 on time-out.
  int Wait(int timeout_ms);
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// Runs a command to its end and returns its exit code; its standard output
// goes to *out when given.
int RunCommand(const std::vector<std::string>& argv, std::string* out = nullptr,
               int timeout_ms = 120000);

// True when a program of that name is on PATH.
bool HaveProgram(const std::string& name);

}  // namespace testsupport
