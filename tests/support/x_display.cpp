#include "tests/support/x_display.h"

#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string_view>
#include <thread>

namespace testsupport {

bool XDisplay::Available() {
  return HaveProgram("Xvfb") && HaveProgram("trayer") && HaveProgram("xdotool") && HaveProgram("import");
}

bool XDisplay::Start(int width, int height, bool withTray) {
  // Spread parallel test runs over different numbers; two servers racing
  // for one number are told apart by which of them is still running.
  const int first = 200 + static_cast<int>(::getpid() % 300);
  for (int n = first; n < first + 60 && name_.empty(); ++n) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
    if (::access(lock.c_str(), F_OK) == 0 || ::access(sock.c_str(), F_OK) == 0) continue;
    const std::string display = ":" + std::to_string(n);
    if (!server_.Start({"Xvfb", display, "-screen", "0", std::to_string(width) + "x" + std::to_string(height) + "x24",
                        "-nolisten", "tcp"}))
      continue;
    for (int i = 0; i < 100 && ::access(sock.c_str(), F_OK) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (::access(sock.c_str(), F_OK) != 0 || server_.Wait(300) != -1) {
      server_.Stop();
      continue;
    }
    name_ = display;
  }
  if (name_.empty()) return false;
  display_ = new ScopedEnv("DISPLAY", name_.c_str());
  if (withTray) {
    if (!tray_.Start({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "120",
                      "--height", "28", "--SetDockType", "true"}))
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return true;
}

void XDisplay::Stop() {
  tray_.Stop();
  server_.Stop();
  delete display_;
  display_ = nullptr;
  name_.clear();
}

std::string XDisplay::VisibleWindows(const std::string& titlePattern) const {
  std::string out;
  RunCommand({"xdotool", "search", "--onlyvisible", "--name", titlePattern}, &out, 10000);
  return out;
}

std::string XDisplay::WaitForWindow(const std::string& titlePattern, int timeoutMs) const {
  for (int waited = 0; waited < timeoutMs; waited += 100) {
    std::string out = VisibleWindows(titlePattern);
    if (!out.empty()) return out.substr(0, out.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return {};
}

bool XDisplay::Screenshot(const std::string& path) const {
  return RunCommand({"import", "-window", "root", path}, nullptr, 30000) == 0;
}

std::optional<XDisplay::Rect> XDisplay::Geometry(const std::string& window) const {
  std::string out;
  if (RunCommand({"xdotool", "getwindowgeometry", "--shell", window}, &out, 10000) != 0) return std::nullopt;
  Rect r;
  int found = 0;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    int* field = key == "X" ? &r.x : key == "Y" ? &r.y : key == "WIDTH" ? &r.width : key == "HEIGHT" ? &r.height : nullptr;
    if (!field) continue;
    *field = std::stoi(line.substr(eq + 1));
    ++found;
  }
  if (found != 4) return std::nullopt;
  return r;
}

bool XDisplay::Click(int x, int y) const {
  return RunCommand({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}, nullptr,
                    10000) == 0;
}

std::string XDisplay::ExactTitle(const std::string& text) {
  std::string pattern = "^";
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

}  // namespace testsupport
