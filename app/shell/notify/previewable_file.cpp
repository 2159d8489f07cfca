#include "app/shell/notify/previewable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

bool IsPreviewableFile(const std::string& path) {
  if (path.empty()) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  unsigned char head[9];
  // Only a regular file: a FIFO or a device under the task's name would hang or lie.
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 9;
  size_t got = 0;
  while (ok && got < sizeof head) {
    const ssize_t n = read(fd, head + got, sizeof head - got);
    if (n <= 0) ok = false;
    else got += static_cast<size_t>(n);
  }
  close(fd);
  if (!ok) return false;
  if (std::memcmp(head, "FLV", 3) == 0 && (head[4] & 0x01)) return true;
  return std::memcmp(head + 4, "ftyp", 4) == 0;
}
