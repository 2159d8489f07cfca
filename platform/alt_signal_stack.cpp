#include "platform/alt_signal_stack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {
// Below the stack, so that a handler running off its end faults at once
// instead of writing into whatever lies there.
size_t GuardSize() { return static_cast<size_t>(::sysconf(_SC_PAGESIZE)); }
}  // namespace

AltSignalStack::AltSignalStack() {
  const size_t guard = GuardSize();
  void* p = ::mmap(nullptr, guard + kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
  if (p == MAP_FAILED) return;
  if (::mprotect(p, guard, PROT_NONE) != 0) {
    ::munmap(p, guard + kSize);
    return;
  }
  stack_t ss{};
  ss.ss_sp = static_cast<char*>(p) + guard;
  ss.ss_size = kSize;
  ss.ss_flags = 0;
  if (::sigaltstack(&ss, nullptr) != 0) {
    ::munmap(p, guard + kSize);
    return;
  }
  memory_ = p;
}

AltSignalStack::~AltSignalStack() {
  if (!memory_) return;
  // Only while it is still this thread's stack and not in use.
  stack_t current{};
  const void* ours = static_cast<char*>(memory_) + GuardSize();
  if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == ours &&
      !(current.ss_flags & SS_ONSTACK)) {
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
  }
  ::munmap(memory_, GuardSize() + kSize);
}

}  // namespace platform
