// Shared by the fuzz targets.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "rtmp/diag_log.h"

namespace fuzz {

// Every diagnostic line is formatted, so the dump and log paths run too, but
// written to /dev/null to keep the fuzzer fast and its output readable.
inline void QuietDiag() {
  static FILE* sink = [] {
    FILE* f = std::fopen("/dev/null", "w");
    if (f == nullptr) std::abort();
    return f;
  }();
  DiagSink = sink;
  DiagLevel = 5;
}

// A decoder result is either -1 or a count of bytes inside the input.
inline void CheckConsumed(int result, size_t size) {
  if (result == -1) return;
  if (result < 0 || static_cast<size_t>(result) > size) std::abort();
}

// An exact heap copy of the input, so the address sanitizer sees any read
// past its end.
inline std::unique_ptr<char[]> ExactCopy(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);
  return copy;
}

// A byte stream as a server would send it: `size` bytes queued in a
// socketpair whose sending side is then shut, so that reading fds[1] gets
// them and then the end of the stream. fds[0] can still take what the
// reader sends. Both ends are non-blocking: the stream must fit what a
// socketpair buffers (keep it to some tens of kilobytes).
inline void QueueStream(const uint8_t* data, size_t size, int fds[2]) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
  for (int i = 0; i < 2; ++i) {
    int flags = fcntl(fds[i], F_GETFL);
    if (flags < 0 || fcntl(fds[i], F_SETFL, flags | O_NONBLOCK) < 0) std::abort();
  }
  size_t written = 0;
  while (written < size) {
    ssize_t n = write(fds[0], data + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) std::abort();
    written += static_cast<size_t>(n);
  }
  shutdown(fds[0], SHUT_WR);
}

}  // namespace fuzz
