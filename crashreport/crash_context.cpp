#include "crashreport/crash_context.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "crashreport/exception_codes.h"

namespace faultwick {

CrashContext MakeCrashContext(int signo, const siginfo_t* info, const void* ucontext) {
  CrashContext c;
  c.signo = signo;
  c.si_code = info ? info->si_code : 0;
  c.uc = static_cast<const ucontext_t*>(ucontext);
  c.pid = static_cast<pid_t>(::syscall(SYS_getpid));
  c.tid = static_cast<pid_t>(::syscall(SYS_gettid));
  if (c.uc) {
    const greg_t* g = c.uc->uc_mcontext.gregs;
    c.pc = static_cast<uintptr_t>(g[REG_RIP]);
    c.sp = static_cast<uintptr_t>(g[REG_RSP]);
    c.fp = static_cast<uintptr_t>(g[REG_RBP]);
  }
  bool memory_fault = (signo == SIGSEGV || signo == SIGBUS) && info && info->si_code > 0;
  c.fault_address = memory_fault ? reinterpret_cast<uintptr_t>(info->si_addr) : c.pc;
  c.exception_code = ExceptionCodeForSignal(signo, c.si_code, c.fault_address, c.sp);
  return c;
}

}  // namespace faultwick
