// The temporary file a download appends to. Writes are gathered in memory
// and reach the file in large blocks, so the 1024-byte receive loop costs no
// system call of its own per chunk; whatever did reach the file is always a
// prefix of the data, so a later resume from its size stays correct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TempFile {
 public:
  enum class Probe { Missing, Present, Unusable };
  // Whether a file is at `path` and, when it can be opened and read as a
  // regular file, its size.
  static Probe Examine(const std::string& path, int64_t* size);

  TempFile() = default;
  ~TempFile() { Close(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Opens for appending, creating the file when missing and never truncating
  // it; *end gets the size found.
  bool Open(const std::string& path, int64_t* end);
  bool IsOpen() const { return fd_ >= 0; }
  // False when earlier data could not be written.
  bool Write(const char* data, size_t size);
  // Writes out what is gathered; false when that failed.
  bool Flush();
  // Writes out what is gathered and closes; false when some of it was lost.
  bool Close();

 private:

  static constexpr size_t kGather = 256 * 1024;
  int fd_ = -1;
  std::vector<char> buffer_;
  size_t used_ = 0;
};
