// Writes a file so that whoever opens it finds either the old or the complete
// new content, whatever happens in between (full disk, crash, power loss):
// the bytes go to a temporary file beside it, reach the disk, and only then
// is the temporary file renamed over the old one.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  // An unfinished temporary file is removed; the target stays as it was.
  virtual ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // The temporary file used for `path`.
  static std::string TempPath(const std::string& path) { return path + ".tmp"; }

  // Creates the temporary file for `path`.
  bool Begin(const std::string& path);
  // Appends bytes; false once any write has failed (later writes do nothing).
  bool Write(const void* data, size_t size);
  // Flushes to disk and renames over the target. False leaves the target as
  // it was and removes the temporary file.
  bool Commit();
  // Drops the temporary file; the target stays as it was.
  void Abandon();

  bool failed() const { return failed_; }

 protected:
  // One write(2); tests override it to fill the disk half-way.
  virtual ssize_t WriteSome(int fd, const void* data, size_t size);

 private:
  int fd_ = -1;
  bool failed_ = false;
  std::string path_;
  std::string temp_;
};

}  // namespace platform
