// The player's reduced copy of CFaultwick: on a crash it only writes a dump
// named after the program and the local time; no report, ini file, dialog
// or sender.
#include <unistd.h>

#include <ctime>

#include "crashreport/bounded_text.h"
#include "crashreport/crash_context.h"
#include "crashreport/crash_file_names.h"
#include "crashreport/faultwick.h"
#include "crashreport/minidump_writer.h"
#include "crashreport/process_maps.h"

namespace {

using namespace faultwick;

char g_program_base[kMaxPath];
char g_dump_path[kMaxPath];
ProcessMaps g_maps;

}  // namespace

void CFaultwick::PrepareFilter() {
  char program[kMaxPath];
  ssize_t n = ::readlink("/proc/self/exe", program, sizeof program - 1);
  program[n > 0 ? n : 0] = '\0';
  ProgramPathBase(program, g_program_base, sizeof g_program_base);
  PrepareMinidumpSystemInfo();
  // Loads the time-zone data now rather than in a crash.
  ::tzset();
}

long CFaultwick::CreateExceptionDump(const CrashContext& crash) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  CivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
              local.tm_hour, local.tm_min, local.tm_sec};
  MakePlayerDumpPath(g_program_base, t, g_dump_path, sizeof g_dump_path);
  if (!CreateDumpFile(crash, g_dump_path, nullptr)) {
    ssize_t r = ::write(2, "Create DUMP file error!\n", 24);
    (void)r;
  }
  ShowReportToUser();
  return 1;
}

bool CFaultwick::CreateDumpFile(const CrashContext& crash, const char* dump_path,
                                const char* /*report_path*/) {
  g_maps.ReadSelf();
  return WriteMinidumpFile(dump_path, crash, g_maps);
}

int CFaultwick::ShowReportToUser() { return 1; }
