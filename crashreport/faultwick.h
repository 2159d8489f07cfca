// Faultwick: on a crash, writes a minidump and a text report, names both in
// Quessary.ini beside the program, shows the report and offers to start the
// sender, then lets the process end.
//
// libFaultwick.so holds the full class; the player links a reduced copy
// (faultwick_player.cpp) with the same public members that only writes a
// dump named after the program. Both install the filter the same way
// (faultwick_filter.cpp).
#pragma once

#include <signal.h>

#include "crashreport/signal_filter.h"

#define FAULTWICK_API __attribute__((visibility("default")))

namespace faultwick {
struct CrashContext;
struct CrashPaths;
class CrashReport;
}  // namespace faultwick

class CFaultwick {
 public:
  CFaultwick() = delete;

  // Installs the crash filter for the process (and the alternate signal
  // stack for the calling thread); keeps what it replaces in m_filter.
  FAULTWICK_API static void SetExceptionFilter();
  // Puts back what SetExceptionFilter replaced.
  FAULTWICK_API static void UnSetExceptionFilter();

 private:
  // What the handler needs and cannot have safely during a crash, worked
  // out before the filter is installed; each copy prepares its own.
  static void PrepareFilter();
  static void OnFatalSignal(int signo, siginfo_t* info, void* ucontext);
  // The filter itself; 1 means the process is to end.
  static long CreateExceptionDump(const faultwick::CrashContext& crash);
  // Writes the dump, the report and the ini file; true when both files
  // were written.
  static bool CreateDumpFile(const faultwick::CrashContext& crash, const char* dump_path,
                             const char* report_path);
  // The dialog; 1 for "Send Report", 2 for "Close".
  static int ShowReportToUser();

  static faultwick::PreviousFilter m_filter;
  static faultwick::CrashReport m_report;
  static faultwick::CrashPaths m_paths;
};
