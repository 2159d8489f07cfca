#include "app/capture/browser/installed_browsers.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace browserhost {

namespace {

// The command a package puts on PATH, and the name of the program that then
// runs (a start script may launch a program of another name).
constexpr const char* kKnownBrowsers[][2] = {
    {"chromium", "chromium"},
    {"firefox-esr", "firefox-esr"},
    {"firefox", "firefox"},
    {"google-chrome", "chrome"},
    {"google-chrome-stable", "chrome"},
};

bool IsProgram(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace

std::vector<std::string> InstalledBrowsers(const std::string& searchPath) {
  std::vector<std::string> dirs;
  size_t start = 0;
  for (;;) {
    const size_t end = searchPath.find(':', start);
    std::string dir = searchPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty()) dirs.push_back(dir);
    if (end == std::string::npos) break;
    start = end + 1;
  }

  std::vector<std::string> found;
  for (const auto& [command, executable] : kKnownBrowsers) {
    if (std::find(found.begin(), found.end(), executable) != found.end()) continue;
    for (const std::string& dir : dirs) {
      if (IsProgram(dir + "/" + command)) {
        found.push_back(executable);
        break;
      }
    }
  }
  return found;
}

std::vector<std::string> InstalledBrowsers() {
  const char* path = std::getenv("PATH");
  return InstalledBrowsers(std::string(path ? path : "") + ":/usr/bin");
}

}  // namespace browserhost
