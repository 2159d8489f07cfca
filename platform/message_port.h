// Cross-process window messages. A window that other processes may address
// opens a message port: a Unix socket named after its 32-bit handle in the
// per-user runtime folder. Only the same user gets in (folder mode 0700 and
// the peer's uid checked on every connection). Messages keep their numbers
// and two parameters; they reach the window on its own thread through its
// WindowServices, like any posted message.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/window_services.h"

namespace platform {

using WindowHandle = uint32_t;

// $XDG_RUNTIME_DIR, or /tmp/tamborel-runtime-<uid> created 0700; empty when
// the folder exists but is not a real folder of this user with mode 0700.
std::string RuntimeFolder();
// The socket of a window's port; empty when there is no usable runtime folder.
std::string MessagePortPath(WindowHandle window);

class MessagePort {
 public:
  // Messages that arrive are posted to `target` (the window's services).
  explicit MessagePort(WindowServices* target);
  ~MessagePort();
  MessagePort(const MessagePort&) = delete;
  MessagePort& operator=(const MessagePort&) = delete;

  // Limits what other processes may post to these message numbers; others
  // are refused unanswered. Messages whose parameters are pointers or handles
  // of this process must never be on the list. Without it every number passes.
  // Before Open.
  void AcceptOnly(std::initializer_list<uint32_t> messages);
  // Picks a free handle and starts listening; false when no port could be made.
  bool Open();
  void Close();
  WindowHandle Handle() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Queues a message for the window; false when no such window answers.
bool PostWindowMessage(WindowHandle window, uint32_t msg, MessageParam wParam, MessageParam lParam);
// Delivers the message and waits until the window has taken it into its
// queue (or timeoutMs passed); false when no such window answers.
bool SendWindowMessage(WindowHandle window, uint32_t msg, MessageParam wParam, MessageParam lParam,
                       int timeoutMs = 5000);
// True when a window with this handle accepts connections.
bool IsWindow(WindowHandle window);

}  // namespace platform
