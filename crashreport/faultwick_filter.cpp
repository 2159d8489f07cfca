// Installing and removing the filter, and the handler itself: the same in
// libFaultwick.so and in the player's copy, which differ only in what they
// prepare and what a crash writes.
#include "crashreport/crash_context.h"
#include "crashreport/faultwick.h"
#include "crashreport/signal_filter.h"

faultwick::PreviousFilter CFaultwick::m_filter{};

void CFaultwick::SetExceptionFilter() {
  if (m_filter.installed) return;
  PrepareFilter();
  faultwick::InstallFatalSignalHandlers(&CFaultwick::OnFatalSignal, &m_filter);
}

void CFaultwick::UnSetExceptionFilter() { faultwick::RestoreFatalSignalHandlers(&m_filter); }

void CFaultwick::OnFatalSignal(int signo, siginfo_t* info, void* ucontext) {
  faultwick::CrashContext crash = faultwick::MakeCrashContext(signo, info, ucontext);
  if (faultwick::EnterCrashHandlerOnce()) CreateExceptionDump(crash);
  faultwick::EndProcessBySignal(crash);
}
