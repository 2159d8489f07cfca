#include "http/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

TempFile::Probe TempFile::Examine(const std::string& path, int64_t* size) {
  *size = 0;
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR || path.empty() ? Probe::Missing : Probe::Unusable;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Probe::Unusable;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!ok) return Probe::Unusable;
  *size = static_cast<int64_t>(st.st_size);
  return Probe::Present;
}

bool TempFile::Open(const std::string& path, int64_t* end) {
  Close();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat st;
  off_t at = ::lseek(fd, 0, SEEK_END);
  if (at < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  buffer_.resize(kGather);
  used_ = 0;
  if (end) *end = static_cast<int64_t>(at);
  return true;
}

bool TempFile::Flush() {
  size_t done = 0;
  while (done < used_) {
    ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Keep what did not go out at the front, so nothing is written twice.
      std::memmove(buffer_.data(), buffer_.data() + done, used_ - done);
      used_ -= done;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  used_ = 0;
  return true;
}

bool TempFile::Write(const char* data, size_t size) {
  if (fd_ < 0) return false;
  if (size > buffer_.size() - used_ && !Flush()) return false;
  if (size > buffer_.size()) {
    used_ = 0;
    while (size > 0) {
      ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  std::memcpy(buffer_.data() + used_, data, size);
  used_ += size;
  return true;
}

bool TempFile::Close() {
  if (fd_ < 0) return true;
  bool ok = Flush();
  if (::close(fd_) != 0 && errno != EINTR) ok = false;
  fd_ = -1;
  used_ = 0;
  buffer_.clear();
  buffer_.shrink_to_fit();
  return ok;
}
