#include "crashreport/faultwick.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "crashreport/bounded_text.h"
#include "crashreport/child_launch.h"
#include "crashreport/crash_context.h"
#include "crashreport/crash_file_names.h"
#include "crashreport/crash_report.h"
#include "crashreport/ini_file.h"
#include "crashreport/memory_status.h"
#include "crashreport/minidump_writer.h"
#include "crashreport/process_maps.h"
#include "crashreport/stack_walk.h"

faultwick::CrashReport CFaultwick::m_report;
faultwick::CrashPaths CFaultwick::m_paths;

namespace {

using namespace faultwick;

constexpr char kIniName[] = "Quessary.ini";
constexpr char kSenderName[] = "Hollomay.exe";
constexpr char kDialogName[] = "FaultwickDialog";

// Everything the handler needs that cannot be had safely during a crash,
// worked out when the filter is installed.
struct Prepared {
  char program_path[kMaxPath];
  char program_base[kMaxPath];
  char ini_path[kMaxPath];
  char sender_path[kMaxPath];
  char dialog_path[kMaxPath];
  char documents[kMaxPath];
  bool have_documents;
};

Prepared g_prepared;
ProcessMaps g_maps;
uintptr_t g_frames[CrashReport::kMaxFrames];
char g_report_utf8[CrashReport::kCapacity * 4];

void Prepare() {
  Prepared& p = g_prepared;
  ssize_t n = ::readlink("/proc/self/exe", p.program_path, sizeof p.program_path - 1);
  p.program_path[n > 0 ? n : 0] = '\0';
  ProgramPathBase(p.program_path, p.program_base, sizeof p.program_base);
  char folder[kMaxPath];
  FolderOf(p.program_path, folder, sizeof folder);
  BoundedText(p.ini_path, sizeof p.ini_path).Add(folder).AddChar('/').Add(kIniName);
  BoundedText(p.sender_path, sizeof p.sender_path).Add(folder).AddChar('/').Add(kSenderName);

  // The dialog program ships beside this library.
  Dl_info info{};
  char lib_folder[kMaxPath] = {};
  if (::dladdr(reinterpret_cast<void*>(&Prepare), &info) && info.dli_fname)
    FolderOf(info.dli_fname, lib_folder, sizeof lib_folder);
  BoundedText(p.dialog_path, sizeof p.dialog_path).Add(lib_folder).AddChar('/').Add(kDialogName);

  p.have_documents = LookUpDocumentsFolder(p.documents, sizeof p.documents);
  PrepareMinidumpSystemInfo();
  // The first unwind loads what the unwinder needs; do it now, not in a
  // crash.
  WalkStack(0, 0, StackBounds{0, 0}, g_frames, 1);
}

void DebugOutput(const char* text) {
  ssize_t r = ::write(2, text, BoundedLength(text, 256));
  (void)r;
}

bool WriteWholeFile(const char* path, const char* data, size_t n) {
  int fd;
  do fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  bool ok = true;
  while (n > 0 && ok) {
    ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    if (ok) {
      data += w;
      n -= static_cast<size_t>(w);
    }
  }
  return ::close(fd) == 0 && ok;
}

}  // namespace

void CFaultwick::PrepareFilter() { Prepare(); }

long CFaultwick::CreateExceptionDump(const CrashContext& crash) {
  // The documents folder, created when missing; the program path otherwise.
  const char* base = g_prepared.program_base;
  if (g_prepared.have_documents && EnsureFolder(g_prepared.documents)) base = g_prepared.documents;
  MakeCrashPaths(base, UtcFromEpoch(static_cast<int64_t>(std::time(nullptr))), &m_paths);

  if (!CreateDumpFile(crash, m_paths.dump, m_paths.report))
    DebugOutput("Create DUMP file error!\n");

  if (ShowReportToUser() == 1) {
    const char* argv[] = {g_prepared.sender_path, nullptr};
    StartProgram(argv, -1);
  }
  return 1;
}

bool CFaultwick::CreateDumpFile(const CrashContext& crash, const char* dump_path,
                                const char* report_path) {
  g_maps.ReadSelf();

  bool dump_ok = WriteMinidumpFile(dump_path, crash, g_maps);

  StackBounds stack = FindStack(g_maps, crash.sp);
  size_t frames = WalkStack(crash.pc, crash.fp, stack, g_frames, CrashReport::kMaxFrames);
  m_report.Build(ReadMemoryStatus(), crash, g_maps, g_frames, frames, report_path,
                 g_prepared.program_path);
  size_t n = m_report.ToUtf8(g_report_utf8, sizeof g_report_utf8);
  bool report_ok = WriteWholeFile(report_path, g_report_utf8, n);

  // Always, so the sender finds at least the report.
  WriteIniString(g_prepared.ini_path, "FileName", "DumpFile", dump_path);
  WriteIniString(g_prepared.ini_path, "FileName", "DumpFileExt", report_path);
  return dump_ok && report_ok;
}

int CFaultwick::ShowReportToUser() {
  // A crashed process must not run its own user interface: a separate
  // program shows the dialog and answers through its exit code.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return 2;
  const char* argv[] = {g_prepared.dialog_path, nullptr};
  pid_t pid = StartProgram(argv, fds[0]);
  if (pid > 0) {
    // Both ends are still open here, so the write cannot raise SIGPIPE,
    // and the text is far smaller than the pipe's buffer.
    size_t n = m_report.ToUtf8(g_report_utf8, sizeof g_report_utf8);
    const char* p = g_report_utf8;
    while (n > 0) {
      ssize_t w = ::write(fds[1], p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      p += w;
      n -= static_cast<size_t>(w);
    }
  }
  ::close(fds[1]);
  ::close(fds[0]);
  if (pid <= 0) return 2;
  return WaitProgram(pid) == 1 ? 1 : 2;
}
