// Native messaging framing: each message is a 4-byte length in the machine's
// byte order followed by that many bytes of UTF-8 JSON. What arrives comes
// from a browser extension and is untrusted: lengths are capped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace browserhost {

// Far above any capture message, far below what a browser would send.
inline constexpr uint32_t kMaxMessageBytes = 1024 * 1024;

enum class FrameStatus {
  Message,    // *message holds one message
  End,        // the input ended between messages
  Oversized,  // the length is over the limit; the stream cannot be followed further
  Truncated,  // the input ended inside a message
  ReadError,
};

FrameStatus ReadFrame(int fd, std::string* message, uint32_t limit = kMaxMessageBytes);
// False when the message is too long for a frame or the write failed.
bool WriteFrame(int fd, std::string_view message);

}  // namespace browserhost
