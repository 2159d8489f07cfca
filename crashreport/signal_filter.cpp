#include "crashreport/signal_filter.h"

#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace faultwick {

namespace {

std::atomic<long> g_crashing_thread{0};
void* g_alt_stack = nullptr;

}  // namespace

bool InstallFatalSignalHandlers(FatalSignalHandler handler, PreviousFilter* previous) {
  if (previous->installed) return true;
  if (!g_alt_stack) {
    void* p = ::mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                     -1, 0);
    if (p == MAP_FAILED) return false;
    g_alt_stack = p;
  }
  stack_t ss{};
  ss.ss_sp = g_alt_stack;
  ss.ss_size = kAltStackSize;
  ss.ss_flags = 0;
  if (::sigaltstack(&ss, &previous->alt_stack) != 0) return false;

  struct sigaction sa{};
  sa.sa_sigaction = handler;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  // Every fatal signal stays blocked while the handler runs: a fault inside
  // it then ends the process instead of nesting.
  sigemptyset(&sa.sa_mask);
  for (int s : kFatalSignals) sigaddset(&sa.sa_mask, s);
  for (size_t i = 0; i < kFatalSignalCount; ++i)
    ::sigaction(kFatalSignals[i], &sa, &previous->actions[i]);
  previous->installed = true;
  return true;
}

void RestoreFatalSignalHandlers(PreviousFilter* previous) {
  if (!previous->installed) return;
  for (size_t i = 0; i < kFatalSignalCount; ++i)
    ::sigaction(kFatalSignals[i], &previous->actions[i], nullptr);
  ::sigaltstack(&previous->alt_stack, nullptr);
  previous->installed = false;
}

bool EnterCrashHandlerOnce() {
  long self = ::syscall(SYS_gettid);
  long expected = 0;
  if (g_crashing_thread.compare_exchange_strong(expected, self)) return true;
  if (expected == self) return false;
  for (;;) ::pause();
}

void EndProcessBySignal(const CrashContext& crash) {
  struct sigaction dfl{};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(crash.signo, &dfl, nullptr);
  // Still blocked here; it arrives as the handler returns.
  ::syscall(SYS_tgkill, crash.pid, crash.tid, crash.signo);
}

}  // namespace faultwick
