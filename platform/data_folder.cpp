#include "platform/data_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/user_folders.h"

namespace platform {

namespace {

// Creates each missing level with mode 0700; true when the folder is there.
bool MakePrivateFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string level = path.substr(0, i);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string UserDataFolder(const std::string& application) {
  std::string base;
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') {
    base = data;
    if (base.back() != '/') base += '/';
  } else {
    std::string home = HomeFolder();
    if (home.empty()) return {};
    base = home + ".local/share/";
  }
  std::string folder = base + "Quorlin/" + application + "/";
  return MakePrivateFolders(folder) ? folder : std::string();
}

}  // namespace platform
