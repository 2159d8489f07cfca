// What the signal handler knows about one crash.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <ucontext.h>

#include <cstdint>

namespace faultwick {

struct CrashContext {
  int signo = 0;
  int si_code = 0;
  uintptr_t fault_address = 0;   // the data address of a bad access, else the pc
  uint32_t exception_code = 0;   // from ExceptionCodeForSignal
  const ucontext_t* uc = nullptr;
  pid_t pid = 0;
  pid_t tid = 0;
  uintptr_t pc = 0;
  uintptr_t sp = 0;
  uintptr_t fp = 0;
};

CrashContext MakeCrashContext(int signo, const siginfo_t* info, const void* ucontext);

}  // namespace faultwick
