// Installs the crash filter and crashes in a function of its own, chosen
// when the program is built (CRASH_KIND_...), on the main thread or a
// worker. With "--file-limit" every file it writes is cut at 4096 bytes, so
// the dump fails while the report and the ini file still fit.
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "crashreport/faultwick.h"
#include "platform/alt_signal_stack.h"

namespace {

volatile int g_zero = 0;

[[maybe_unused]] __attribute__((noinline)) int CrashNullPointer() {
  volatile int* p = nullptr;
  return *p;
}

[[maybe_unused]] __attribute__((noinline)) int CrashIntegerDivide() { return 7 / g_zero; }

[[maybe_unused]] __attribute__((noinline)) int CrashAbort() {
  std::abort();
}

[[maybe_unused]] __attribute__((noinline)) int CrashStackOverflow(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  if (depth < 0) return 0;
  return CrashStackOverflow(depth + 1) + pad[0];
}

[[maybe_unused]] __attribute__((noinline)) void CrashInWorkerThread() {
  volatile int* p = nullptr;
  *p = 1;
}

// A worker that overflows its stack, having made its alternate signal
// stack first as the program's threads do.
[[maybe_unused]] void OverflowInWorkerThread() {
  const platform::AltSignalStack crashStack;
  CrashStackOverflow(0);
}

// A call chain as an optimised program has it: no frame pointers, and
// nothing the compiler may fold away (no inlining, cloning or tail calls).
int* volatile g_null = nullptr;
[[maybe_unused]] __attribute__((noipa)) int InnerFault(int* p) { return *p + 1; }
[[maybe_unused]] __attribute__((noipa)) int MiddleCall(int* p) { return InnerFault(p) * 3 + g_zero; }
[[maybe_unused]] __attribute__((noipa)) int OuterCall(int* p) { return MiddleCall(p) * 5 + g_zero; }

int Crash() {
#if defined(CRASH_KIND_null_pointer)
  return CrashNullPointer();
#elif defined(CRASH_KIND_integer_divide)
  return CrashIntegerDivide();
#elif defined(CRASH_KIND_abort)
  return CrashAbort();
#elif defined(CRASH_KIND_stack_overflow)
  return CrashStackOverflow(0);
#elif defined(CRASH_KIND_worker_thread)
  std::thread worker(CrashInWorkerThread);
  worker.join();
  return 0;
#elif defined(CRASH_KIND_worker_stack_overflow)
  std::thread worker(OverflowInWorkerThread);
  worker.join();
  return 0;
#elif defined(CRASH_KIND_optimised_chain)
  return OuterCall(g_null) + 1;
#else
#error "no crash kind"
#endif
}

}  // namespace

int main(int argc, char** argv) {
  rlimit none{0, 0};
  ::setrlimit(RLIMIT_CORE, &none);  // no core files from the tests
  if (argc > 1 && std::strcmp(argv[1], "--file-limit") == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit small{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  CFaultwick::SetExceptionFilter();
  return Crash();
}
