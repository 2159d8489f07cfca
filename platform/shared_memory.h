// Named shared memory between processes of the same user: POSIX shm_open
// under the design's names ("QUORLIN_MONITOR_MAP", "QUORLIN_DL_%08X", the
// single-instance blocks), created mode 0600. What another process wrote
// there is untrusted input: readers take fixed fields with bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Creates the block, or opens it when it exists already (alreadyExisted
  // tells which), and maps `size` bytes read-write. A new block reads as zeros.
  bool Create(const std::string& name, size_t size, bool* alreadyExisted = nullptr);
  // Opens an existing block; fails when it is missing, smaller than `size`,
  // or not owned by this user.
  bool Open(const std::string& name, size_t size, bool writable);
  // Unmaps; the creator also removes the name (Unlink) when asked.
  void Close();
  // Removes the name; mapped views stay valid until closed.
  static bool Unlink(const std::string& name);
  // Copies the first `size` bytes of an existing block of this user into
  // `out` without mapping it, so a writer that shrinks the block meanwhile
  // cannot fault the reader; false when missing, shorter, or not ours.
  static bool ReadCopy(const std::string& name, void* out, size_t size);

  uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  bool IsOpen() const { return data_ != nullptr; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace platform
