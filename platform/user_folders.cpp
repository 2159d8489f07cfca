#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/file_system.h"

namespace platform {

namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return WithSeparator(home);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
      found->pw_dir && *found->pw_dir) {
    return WithSeparator(found->pw_dir);
  }
  return {};
}

std::string UserConfigFolder() {
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return WithSeparator(config);
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + ".config/";
}

}  // namespace platform
