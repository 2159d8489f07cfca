#include "platform/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool DeleteFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  // renameat2(RENAME_NOREPLACE) is atomic where the file system supports it.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // Fallback: a hard link refuses an existing target just the same.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return !from.empty() && !to.empty() && ::rename(from.c_str(), to.c_str()) == 0;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  std::string part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == kPathSeparator) {
      if (!part.empty()) ::mkdir(part.c_str(), 0755);
    }
    if (i < path.size()) part += path[i];
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
