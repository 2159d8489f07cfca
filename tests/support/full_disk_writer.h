// A file writer that lets `room` bytes through, then reports a full disk.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "platform/atomic_file_writer.h"

namespace testsupport {

class FullDiskWriter : public platform::AtomicFileWriter {
 public:
  explicit FullDiskWriter(size_t room) : room_(room) {}

 protected:
  ssize_t WriteSome(int fd, const void* data, size_t size) override {
    if (room_ == 0) {
      errno = ENOSPC;
      return -1;
    }
    size_t n = std::min(size, room_);
    room_ -= n;
    return AtomicFileWriter::WriteSome(fd, data, n);
  }

 private:
  size_t room_;
};

}  // namespace testsupport
