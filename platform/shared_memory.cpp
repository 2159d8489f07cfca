#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

std::string ShmName(const std::string& name) { return "/" + name; }

// Another user's block under our name is never ours to read or fill: it
// could be a planted copy waiting for what we write into it.
bool OwnedByUs(int fd, struct stat* st) {
  if (::fstat(fd, st) != 0) return false;
  return S_ISREG(st->st_mode) && st->st_uid == ::geteuid() && (st->st_mode & 077) == 0;
}

}  // namespace

SharedMemory::~SharedMemory() { Close(); }

bool SharedMemory::Create(const std::string& name, size_t size, bool* alreadyExisted) {
  Close();
  if (size == 0 || name.empty() || name.find('/') != std::string::npos) return false;
  const std::string shm = ShmName(name);
  bool existed = false;
  int fd = ::shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    existed = true;
    fd = ::shm_open(shm.c_str(), O_RDWR | O_CLOEXEC, 0600);
  }
  if (fd < 0) return false;
  struct stat st;
  if (!OwnedByUs(fd, &st)) {
    ::close(fd);
    return false;
  }
  // A new block has size 0 and ftruncate fills it with zeros; an existing
  // smaller one grows the same way.
  if (static_cast<size_t>(st.st_size) < size && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    ::close(fd);
    if (!existed) ::shm_unlink(shm.c_str());
    return false;
  }
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);  // the mapping keeps the block alive
  if (p == MAP_FAILED) {
    if (!existed) ::shm_unlink(shm.c_str());
    return false;
  }
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  if (alreadyExisted) *alreadyExisted = existed;
  return true;
}

bool SharedMemory::Open(const std::string& name, size_t size, bool writable) {
  Close();
  if (size == 0 || name.empty() || name.find('/') != std::string::npos) return false;
  int fd = ::shm_open(ShmName(name).c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st;
  // Mapping beyond the end of a shorter block would fault on first read.
  if (!OwnedByUs(fd, &st) || static_cast<size_t>(st.st_size) < size) {
    ::close(fd);
    return false;
  }
  void* p = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  return true;
}

void SharedMemory::Close() {
  if (data_) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

bool SharedMemory::Unlink(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return false;
  return ::shm_unlink(ShmName(name).c_str()) == 0;
}

bool SharedMemory::ReadCopy(const std::string& name, void* out, size_t size) {
  if (size == 0 || name.empty() || name.find('/') != std::string::npos) return false;
  int fd = ::shm_open(ShmName(name).c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st;
  bool ok = OwnedByUs(fd, &st) && static_cast<size_t>(st.st_size) >= size;
  size_t done = 0;
  while (ok && done < size) {
    ssize_t n = ::pread(fd, static_cast<uint8_t*>(out) + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}

}  // namespace platform
