// What tells one version of a file from another without reading it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = -1;         // -1: no regular file there
  int64_t modifiedNs = 0;    // modification time, nanoseconds since the epoch
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at `path`; size -1 when there is none.
FileStamp StampOf(const std::string& path);

}  // namespace platform
