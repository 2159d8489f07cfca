// An alternate signal stack for the thread that creates it. A thread that
// overflows its stack can only run the crash reporter's handler on a stack
// of its own, so every thread the program starts makes one of these first
// thing and keeps it until it ends.
#pragma once

#include <cstddef>

namespace platform {

class AltSignalStack {
 public:
  // Room for the crash handler: the stack walk, symbol lookup and report.
  static constexpr size_t kSize = 256 * 1024;

  AltSignalStack();
  ~AltSignalStack();
  AltSignalStack(const AltSignalStack&) = delete;
  AltSignalStack& operator=(const AltSignalStack&) = delete;

  // False when the stack could not be made; the thread runs on without it.
  bool installed() const { return memory_ != nullptr; }

 private:
  void* memory_ = nullptr;
};

}  // namespace platform
