// What travels over a message port: one fixed frame per connection, and one
// byte back once the window has the message.
#pragma once

#include <cstdint>

namespace platform::port_wire {

inline constexpr uint32_t kMagic = 0x544D5057;  // "WPMT"
inline constexpr uint32_t kPost = 1;
inline constexpr uint32_t kSend = 2;
inline constexpr char kAccepted = 'k';

struct Frame {
  uint32_t magic;
  uint32_t kind;
  uint32_t msg;
  uint32_t reserved;
  int64_t wParam;
  int64_t lParam;
};
static_assert(sizeof(Frame) == 32);

}  // namespace platform::port_wire
