#include "app/capture/browser/browser_process.h"

#include <unistd.h>

#include <fstream>

namespace browserhost {

std::string ExecutableNameOfProcess(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid) + "/";
  char target[4096];
  const ssize_t n = ::readlink((proc + "exe").c_str(), target, sizeof(target) - 1);
  if (n > 0) {
    std::string path(target, static_cast<size_t>(n));
    // A browser updated while it runs still runs the old, removed file.
    constexpr char kDeleted[] = " (deleted)";
    const size_t deleted = sizeof(kDeleted) - 1;
    if (path.size() > deleted && path.compare(path.size() - deleted, deleted, kDeleted) == 0)
      path.resize(path.size() - deleted);
    const std::string name = path.substr(path.rfind('/') + 1);
    if (!name.empty()) return name;
  }
  std::ifstream comm(proc + "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace browserhost
