#include "tests/support/xvfb_display.h"

#include <sys/stat.h>
#include <unistd.h>


namespace testsupport {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

XvfbDisplay::XvfbDisplay(int width, int height) {
  if (!HaveProgram("Xvfb")) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  // Spread the helpers of parallel test runs over different numbers.
  const int first = 100 + static_cast<int>(::getpid() % 400);
  for (int n = first; n < first + 40; ++n) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (Exists(lock) || Exists(socket)) continue;
    if (!server_.Start({"Xvfb", ":" + std::to_string(n), "-screen", "0", screen, "-nolisten", "tcp"}, "/dev/null"))
      return;
    for (int i = 0; i < 100 && server_.running(); ++i) {
      if (Exists(socket)) {
        display_ = ":" + std::to_string(n);
        return;
      }
      if (server_.Wait(100) != -1) break;  // ended: the number was taken after all
    }
    server_.Stop();
  }
}

}  // namespace testsupport
