#include "platform/atomic_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"

namespace platform {

namespace {

// The rename itself reaches the disk only with the folder's entry.
void SyncFolderOf(const std::string& path) {
  size_t slash = path.rfind(kPathSeparator);
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

bool AtomicFileWriter::Begin(const std::string& path) {
  Abandon();
  if (path.empty()) return false;
  path_ = path;
  temp_ = TempPath(path);
  failed_ = false;
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    failed_ = true;
    return false;
  }
  return true;
}

ssize_t AtomicFileWriter::WriteSome(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = WriteSome(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0 || failed_) {
    Abandon();
    return false;
  }
  bool ok = ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  if (!ok || !ReplaceFile(temp_, path_)) {
    failed_ = true;
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  SyncFolderOf(path_);
  return true;
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace platform
