// The pieces of the crash reporter that need no crash: names of files and
// exceptions, the ini writer, the report's size limit, the memory map.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "crashreport/bounded_text.h"
#include "crashreport/crash_file_names.h"
#include "crashreport/crash_report.h"
#include "crashreport/exception_codes.h"
#include "crashreport/ini_file.h"
#include "crashreport/memory_status.h"
#include "crashreport/process_maps.h"
#include "crashreport/signal_filter.h"
#include "tests/support/sandbox.h"

namespace {

using namespace faultwick;

struct SignalCase {
  int signo;
  int si_code;
  uintptr_t fault;
  uint32_t code;
  const char* name;
};

TEST(ExceptionCodes, SignalsMapOntoTheTable) {
  const uintptr_t sp = 0x7ffc00010000;
  const SignalCase cases[] = {
      {SIGSEGV, SEGV_MAPERR, 0, 0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
      {SIGSEGV, SEGV_ACCERR, 0x401000, 0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
      {SIGSEGV, SEGV_MAPERR, sp - 8, 0xC00000FD, "EXCEPTION_STACK_OVERFLOW"},
      {SIGSEGV, SEGV_MAPERR, sp - 2 * kStackOverflowReach, 0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
      {SIGSEGV, SI_USER, sp - 8, 0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},  // sent by kill
      {SIGFPE, FPE_INTDIV, 0, 0xC0000094, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
      {SIGFPE, FPE_INTOVF, 0, 0xC0000095, "EXCEPTION_INT_OVERFLOW"},
      {SIGFPE, FPE_FLTDIV, 0, 0xC000008E, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
      {SIGFPE, FPE_FLTUND, 0, 0xC0000093, "EXCEPTION_FLT_UNDERFLOW"},
      {SIGILL, ILL_ILLOPC, 0, 0xC000001D, "EXCEPTION_ILLEGAL_INSTRUCTION"},
      {SIGILL, ILL_PRVOPC, 0, 0xC0000096, "EXCEPTION_PRIV_INSTRUCTION"},
      {SIGTRAP, SI_KERNEL, 0, 0x80000003, "EXCEPTION_BREAKPOINT"},
      {SIGTRAP, TRAP_TRACE, 0, 0x80000004, "EXCEPTION_SINGLE_STEP"},
      {SIGBUS, BUS_ADRALN, 0, 0x80000002, "EXCEPTION_DATATYPE_MISALIGNMENT"},
      {SIGBUS, BUS_ADRERR, 0, 0xC0000006, "EXCEPTION_IN_PAGE_ERROR"},
      {SIGABRT, SI_TKILL, 0, 0x40000015, "Unknown Exception"},
  };
  for (const SignalCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "signal " << c.signo << " code " << c.si_code);
    uint32_t code = ExceptionCodeForSignal(c.signo, c.si_code, c.fault, sp);
    EXPECT_EQ(code, c.code);
    EXPECT_STREQ(ExceptionName(code), c.name);
  }
  EXPECT_STREQ(ExceptionName(0xE06D7363), "Unknown Exception");
  EXPECT_STREQ(ExceptionName(0xC0000092), "EXCEPTION_FLT_STACK_CHECK");
}

TEST(CrashFileNames, UtcFieldsFromSeconds) {
  struct Case {
    int64_t seconds;
    CivilTime t;
  } cases[] = {
      {0, {1970, 1, 1, 0, 0, 0}},
      {1260304200, {2009, 12, 8, 20, 30, 0}},
      {951782400, {2000, 2, 29, 0, 0, 0}},
      {4107542399, {2100, 2, 28, 23, 59, 59}},
      {-1, {1969, 12, 31, 23, 59, 59}},
  };
  for (const Case& c : cases) {
    CivilTime t = UtcFromEpoch(c.seconds);
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(t.year, c.t.year);
    EXPECT_EQ(t.month, c.t.month);
    EXPECT_EQ(t.day, c.t.day);
    EXPECT_EQ(t.hour, c.t.hour);
    EXPECT_EQ(t.minute, c.t.minute);
    EXPECT_EQ(t.second, c.t.second);
  }
}

TEST(CrashFileNames, BaseIsTheProgramPathCutAtItsFirstDot) {
  struct Case {
    const char* program;
    const char* dump;
    const char* report;
  } cases[] = {
      {"/opt/App/Tamborel.exe", "/opt/App/Tamborel_20091208_203000.dmp",
       "/opt/App/Tamborel_20091208_203000_main.txt"},
      {"/opt/App/Tamborel", "/opt/App/Tamborel_20091208_203000.dmp",
       "/opt/App/Tamborel_20091208_203000_main.txt"},
      // The first dot counts, even in a folder name.
      {"/opt/app.d/Tamborel.exe", "/opt/app_20091208_203000.dmp",
       "/opt/app_20091208_203000_main.txt"},
  };
  for (const Case& c : cases) {
    char base[kMaxPath];
    ProgramPathBase(c.program, base, sizeof base);
    CrashPaths paths;
    MakeCrashPaths(base, UtcFromEpoch(1260304200), &paths);
    EXPECT_STREQ(paths.dump, c.dump);
    EXPECT_STREQ(paths.report, c.report);
  }
  char dump[kMaxPath];
  MakePlayerDumpPath("/opt/App/Pellumo", CivilTime{2009, 12, 8, 21, 30, 0}, dump, sizeof dump);
  EXPECT_STREQ(dump, "/opt/App/Pellumo_20091208_213000.dmp");
}

TEST(CrashFileNames, DocumentsFolderFromUserDirs) {
  testsupport::Sandbox box;
  std::string home = box.path("home");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", box.path("config").c_str(), 1);
  char folder[kMaxPath];
  ASSERT_TRUE(LookUpDocumentsFolder(folder, sizeof folder));
  EXPECT_EQ(std::string(folder), home + "/Documents");

  ASSERT_EQ(::mkdir(box.path("config").c_str(), 0700), 0);
  box.WriteFile("config/user-dirs.dirs",
                "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/Papers/\"\n");
  ASSERT_TRUE(LookUpDocumentsFolder(folder, sizeof folder));
  EXPECT_EQ(std::string(folder), home + "/Papers");

  ::unsetenv("HOME");
  EXPECT_FALSE(LookUpDocumentsFolder(folder, sizeof folder));
}

TEST(CrashFileNames, EnsureFolderCreatesOnlyWhatItCan) {
  testsupport::Sandbox box;
  EXPECT_TRUE(EnsureFolder(box.path("Documents").c_str()));
  EXPECT_TRUE(EnsureFolder(box.path("Documents").c_str()));
  EXPECT_FALSE(EnsureFolder(box.path("no/such/Documents").c_str()));
  box.WriteFile("file", "x");
  EXPECT_FALSE(EnsureFolder(box.path("file").c_str()));
}

struct IniCase {
  const char* name;
  const char* before;  // null: no file
  const char* after;
};

TEST(IniFile, WritesBothKeysAndKeepsEverythingElse) {
  const IniCase cases[] = {
      {"no file", nullptr, "[FileName]\r\nDumpFile=/d.dmp\r\nDumpFileExt=/r.txt\r\n"},
      {"empty file", "", "[FileName]\r\nDumpFile=/d.dmp\r\nDumpFileExt=/r.txt\r\n"},
      {"keys replaced, case of names ignored",
       "[filename]\r\ndumpfile=/old.dmp\r\nDUMPFILEEXT = /old.txt\r\n",
       "[filename]\r\nDumpFile=/d.dmp\r\nDumpFileExt=/r.txt\r\n"},
      {"other sections and keys stay",
       "[Sender]\nServer=example.org\n\n[FileName]\nDumpFile=/old.dmp\nKeep=1\n\n[Other]\nA=b\n",
       "[Sender]\nServer=example.org\n\n[FileName]\nDumpFile=/d.dmp\r\nKeep=1\nDumpFileExt=/r.txt\r\n"
       "\n[Other]\nA=b\n"},
      {"section added after text without a final line end", "[Sender]\nServer=x",
       "[Sender]\nServer=x\r\n[FileName]\r\nDumpFile=/d.dmp\r\nDumpFileExt=/r.txt\r\n"},
      {"key of the same name in another section untouched",
       "[Other]\r\nDumpFile=keep\r\n",
       "[Other]\r\nDumpFile=keep\r\n[FileName]\r\nDumpFile=/d.dmp\r\nDumpFileExt=/r.txt\r\n"},
  };
  for (const IniCase& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::Sandbox box;
    std::string ini = box.path("Quessary.ini");
    if (c.before) box.WriteFile("Quessary.ini", c.before);
    ASSERT_TRUE(WriteIniString(ini.c_str(), "FileName", "DumpFile", "/d.dmp"));
    ASSERT_TRUE(WriteIniString(ini.c_str(), "FileName", "DumpFileExt", "/r.txt"));
    EXPECT_EQ(box.ReadFile("Quessary.ini"), c.after);
    char value[kMaxPath];
    ASSERT_TRUE(ReadIniString(ini.c_str(), "FileName", "DumpFileExt", value, sizeof value));
    EXPECT_STREQ(value, "/r.txt");
    EXPECT_FALSE(ReadIniString(ini.c_str(), "FileName", "Missing", value, sizeof value));
    EXPECT_FALSE(testsupport::ReadWholeFile(ini + ".new").size());
  }
}

TEST(IniFile, RefusesWhatItCannotRewriteWhole) {
  testsupport::Sandbox box;
  std::string big(kMaxIniFile + 10, 'x');
  box.WriteFile("big.ini", big);
  EXPECT_FALSE(WriteIniString(box.path("big.ini").c_str(), "FileName", "DumpFile", "/d"));
  EXPECT_EQ(box.ReadFile("big.ini"), big);
  EXPECT_FALSE(WriteIniString(box.path("no/folder.ini").c_str(), "FileName", "DumpFile", "/d"));
}

TEST(BoundedText, StopsAtCapacity) {
  char buf[8];
  BoundedText t(buf, sizeof buf);
  t.Add("0X").AddHex(0xAB, 8);
  EXPECT_STREQ(buf, "0X00000");
  EXPECT_TRUE(t.overflowed());
  t.Clear();
  t.AddDec(-42).AddChar(' ').AddPadded(7, 2);
  EXPECT_STREQ(buf, "-42 07");
  EXPECT_FALSE(t.overflowed());
}

// The report keeps whole lines up to 4000 characters, terminator included.
TEST(CrashReport, KeepsWholeLinesWithinItsBuffer) {
  static CrashReport report;
  report.Clear();
  std::string line = "0X00400000[1234] /usr/lib/libsomething.so: SomeFunction+0X10\r\n";
  std::string all;
  for (int i = 0; i < 200; ++i) all += line;
  EXPECT_FALSE(report.AddLines(all.c_str()));
  EXPECT_TRUE(report.full());
  size_t whole = (CrashReport::kCapacity - 1) / line.size();
  EXPECT_EQ(report.length(), whole * line.size());
  char utf8[CrashReport::kCapacity * 4];
  EXPECT_EQ(std::string(utf8, report.ToUtf8(utf8, sizeof utf8)), all.substr(0, whole * line.size()));
  EXPECT_FALSE(report.AddLines("more\r\n"));  // nothing after the cut

  // Characters count, not bytes: 1999 two-byte characters and a line end fit.
  report.Clear();
  std::string wide;
  for (int i = 0; i < 1997; ++i) wide += "\xC3\xA9";
  wide += "\r\n";
  EXPECT_TRUE(report.AddLines(wide.c_str()));
  EXPECT_EQ(report.length(), 1999u);
  EXPECT_TRUE(report.AddLines(wide.c_str()));
  EXPECT_EQ(report.length(), 3998u);
  EXPECT_FALSE(report.AddLines("ab\r\n"));
  EXPECT_EQ(std::string(utf8, report.ToUtf8(utf8, sizeof utf8)), wide + wide);
}

TEST(ProcessMaps, GroupsTheMappingsOfEachImage) {
  testsupport::Sandbox box;
  box.WriteFile("maps",
                "55d000000000-55d000001000 r--p 00000000 08:01 11 /opt/App/Tamborel\n"
                "55d000001000-55d000003000 r-xp 00001000 08:01 11 /opt/App/Tamborel\n"
                "55d000003000-55d000004000 rw-p 00003000 08:01 11 /opt/App/Tamborel\n"
                "55d000004000-55d000008000 rw-p 00000000 00:00 0 \n"
                "7f0000000000-7f0000100000 r--p 00000000 08:01 12 /usr/share/fonts/a font.ttf\n"
                "7f0000100000-7f0000101000 r--p 00000000 08:01 13 /opt/App/lib dir/libFaultwick.so\n"
                "7f0000101000-7f0000105000 r-xp 00001000 08:01 13 /opt/App/lib dir/libFaultwick.so\n"
                "7ffc00000000-7ffc00021000 rw-p 00000000 00:00 0 [stack]\n"
                "7ffc00030000-7ffc00032000 r-xp 00000000 00:00 0 [vdso]");
  static ProcessMaps maps;
  int fd = ::open(box.path("maps").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(maps.ReadFrom(fd));
  ::close(fd);
  EXPECT_EQ(maps.region_count(), 9u);
  ASSERT_EQ(maps.module_count(), 2u);
  EXPECT_STREQ(maps.module(0).path, "/opt/App/Tamborel");
  EXPECT_EQ(maps.module(0).base, 0x55d000000000u);
  EXPECT_EQ(maps.module(0).end, 0x55d000004000u);
  EXPECT_STREQ(maps.module(1).path, "/opt/App/lib dir/libFaultwick.so");
  EXPECT_EQ(maps.FindModule(0x55d000002345), &maps.module(0));
  EXPECT_EQ(maps.FindModule(0x7f0000000010), nullptr);  // a font is no module
  EXPECT_EQ(maps.FindModule(0x55d000005000), nullptr);
  const MapRegion* stack = maps.FindRegion(0x7ffc00020000);
  ASSERT_NE(stack, nullptr);
  EXPECT_STREQ(maps.path(*stack), "[stack]");
  EXPECT_TRUE(maps.FindRegion(0x7ffc00031000)->executable);
}

// Loads a maps text of one program at 0x55d000000000.
void LoadFixtureMaps(const testsupport::Sandbox& box, ProcessMaps* maps) {
  box.WriteFile("maps",
                "55d000000000-55d000001000 r--p 00000000 08:01 11 /opt/App/Tamborel\n"
                "55d000001000-55d000003000 r-xp 00001000 08:01 11 /opt/App/Tamborel\n");
  int fd = ::open(box.path("maps").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  maps->ReadFrom(fd);
  ::close(fd);
}

TEST(CrashReport, AddressOutsideEveryModuleNamesTheProgram) {
  testsupport::Sandbox box;
  static ProcessMaps maps;
  LoadFixtureMaps(box, &maps);
  CrashContext crash;
  crash.pc = 0x1234;
  crash.exception_code = 0xE06D7363;
  MemoryStatus memory{2048, 1024, 4096, 3072};
  const uintptr_t frames[] = {0x1234, 0x55d000001500};
  static CrashReport report;
  report.Build(memory, crash, maps, frames, 2, "/home/u/Documents_20091208_203000_main.txt",
               "/opt/App/Tamborel.exe");
  char text[CrashReport::kCapacity * 4];
  report.ToUtf8(text, sizeof text);
  // The first frame has no module, which ends the trace there.
  EXPECT_STREQ(text,
               "Total Memory: 2048(KB),  Avail Memory: 1024(KB)\r\n"
               "Total Virtual Memory: 4096(KB),  Avail Virtual Memory: 3072(KB)\r\n"
               "The following information can be found in file: "
               "/home/u/Documents_20091208_203000_main.txt\r\n"
               "Error Code: E06D7363 (Unknown Exception)\r\n"
               "Module Name: /opt/App/Tamborel.exe\r\n"
               "Instruction Address: 0X00001234\r\n"
               "Base Offset: 0X00001234\r\n"
               "\r\n\r\n-----------------stack track-----------------\r\n");
}

void DummyHandler(int, siginfo_t*, void*) {}

TEST(SignalFilter, RestoresWhatItReplaced) {
  struct sigaction before[kFatalSignalCount];
  for (size_t i = 0; i < kFatalSignalCount; ++i) ::sigaction(kFatalSignals[i], nullptr, &before[i]);
  stack_t stack_before{};
  ::sigaltstack(nullptr, &stack_before);

  static PreviousFilter previous{};
  ASSERT_TRUE(InstallFatalSignalHandlers(&DummyHandler, &previous));
  for (int s : kFatalSignals) {
    struct sigaction now{};
    ::sigaction(s, nullptr, &now);
    EXPECT_EQ(now.sa_sigaction, &DummyHandler) << s;
    EXPECT_TRUE(now.sa_flags & SA_ONSTACK) << s;
  }
  stack_t alt{};
  ::sigaltstack(nullptr, &alt);
  EXPECT_EQ(alt.ss_size, kAltStackSize);

  RestoreFatalSignalHandlers(&previous);
  for (size_t i = 0; i < kFatalSignalCount; ++i) {
    struct sigaction now{};
    ::sigaction(kFatalSignals[i], nullptr, &now);
    EXPECT_EQ(reinterpret_cast<void*>(now.sa_sigaction),
              reinterpret_cast<void*>(before[i].sa_sigaction))
        << kFatalSignals[i];
  }
  ::sigaltstack(nullptr, &alt);
  EXPECT_EQ(alt.ss_sp, stack_before.ss_sp);
  EXPECT_FALSE(previous.installed);
}

TEST(MemoryStatus, ReadsProcFields) {
  EXPECT_EQ(ProcField("MemTotal:       24683716 kB\nMemFree: 5 kB\n", "MemFree"), 5);
  EXPECT_EQ(ProcField("MemTotal: 1 kB\n", "Mem"), -1);
  EXPECT_EQ(ProcField("", "MemTotal"), -1);
  MemoryStatus m = ReadMemoryStatus();
  EXPECT_GT(m.total_physical_kb, 0);
  EXPECT_LE(m.available_physical_kb, m.total_physical_kb);
  EXPECT_GT(m.available_virtual_kb, 0);
  EXPECT_LE(m.available_virtual_kb, m.total_virtual_kb);
}

}  // namespace
