// Installing and removing the fatal-signal handlers that stand in for a
// process-wide unhandled-exception filter.
#pragma once

#include <signal.h>

#include <cstddef>

#include "crashreport/crash_context.h"

namespace faultwick {

inline constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP};
inline constexpr size_t kFatalSignalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];

// The room the handler gets on its own stack, so that it still runs when
// the thread's stack is used up.
inline constexpr size_t kAltStackSize = 256 * 1024;

// What was installed before: the previous handlers and alternate stack.
struct PreviousFilter {
  struct sigaction actions[kFatalSignalCount];
  stack_t alt_stack;
  bool installed;
};

using FatalSignalHandler = void (*)(int, siginfo_t*, void*);

// Installs `handler` for every fatal signal, on an alternate stack for the
// calling thread; keeps what it replaces in `previous`. A second call while
// installed does nothing.
bool InstallFatalSignalHandlers(FatalSignalHandler handler, PreviousFilter* previous);

// Puts back what `previous` holds.
void RestoreFatalSignalHandlers(PreviousFilter* previous);

// True for the first crash only. A second thread that crashes meanwhile
// waits here for the first to end the process; a fault inside the handler
// itself ends it at once.
bool EnterCrashHandlerOnce();

// Ends the process by the signal it crashed with, default action, so that
// the parent sees how it died.
void EndProcessBySignal(const CrashContext& crash);

}  // namespace faultwick
