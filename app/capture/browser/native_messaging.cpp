#include "app/capture/browser/native_messaging.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace browserhost {

namespace {

// Reads exactly `size` bytes; returns how many arrived before the end.
size_t ReadFull(int fd, char* out, size_t size, bool* error) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = true;
      return done;
    }
    if (n == 0) return done;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool WriteFull(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FrameStatus ReadFrame(int fd, std::string* message, uint32_t limit) {
  message->clear();
  char header[4];
  bool error = false;
  const size_t got = ReadFull(fd, header, sizeof(header), &error);
  if (error) return FrameStatus::ReadError;
  if (got == 0) return FrameStatus::End;
  if (got < sizeof(header)) return FrameStatus::Truncated;
  uint32_t length;
  std::memcpy(&length, header, sizeof(length));
  if (length > limit) return FrameStatus::Oversized;
  message->resize(length);
  if (ReadFull(fd, message->data(), length, &error) < length) {
    message->clear();
    return error ? FrameStatus::ReadError : FrameStatus::Truncated;
  }
  return FrameStatus::Message;
}

bool WriteFrame(int fd, std::string_view message) {
  if (message.size() > kMaxMessageBytes) return false;
  const uint32_t length = static_cast<uint32_t>(message.size());
  char header[4];
  std::memcpy(header, &length, sizeof(header));
  return WriteFull(fd, header, sizeof(header)) && WriteFull(fd, message.data(), message.size());
}

}  // namespace browserhost
