// Programs that crash on purpose, run as child processes from a sandbox
// copy of the program folder, with HOME and the XDG folders in the sandbox.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crashreport/ini_file.h"
#include "crashreport/minidump_format.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadWholeFile;

const std::string kBuiltPrograms = std::string(TAMBOREL_BINARY_DIR) + "/bin/";

struct CrashFiles {
  std::string dump;
  std::string report;
};

// One program folder with the crash reporter, its dialog and the sender, and
// a home folder for the user.
class CrashProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    bin_ = box_.path("bin/");
    home_ = box_.path("home");
    fs::create_directories(bin_);
    fs::create_directories(home_);
    for (const char* name : {"libFaultwick.so", "Hollomay.exe", "FaultwickDialog"})
      if (fs::exists(kBuiltPrograms + name)) fs::copy_file(kBuiltPrograms + name, bin_ + name);
    SetHome(home_);
    ::setenv("XDG_DATA_HOME", box_.path("data").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("FAULTWICK_DIALOG_ANSWER", "close", 1);
  }

  void SetHome(const std::string& home) {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  }

  // Copies a crasher into the program folder under `name`.
  std::string Install(const std::string& built, const std::string& name) {
    fs::copy_file(kBuiltPrograms + built, bin_ + name);
    return bin_ + name;
  }

  // Runs the program to its end (and the sender's, which shares its output);
  // returns the exit status as RunCommand gives it, 128 + signal.
  int Run(const std::string& program, const std::string& arg = {}) {
    std::string cmd = "exec '" + program + "' " + arg + " 2>'" + box_.path("stderr") + "'";
    return testsupport::RunCommand({"/bin/sh", "-c", cmd}, &output_);
  }

  // The files of one crash whose names start with `base`: BASE_STAMP.dmp
  // and BASE_STAMP_main.txt.
  CrashFiles FindCrashFiles(const std::string& base) {
    fs::path folder = fs::path(base).parent_path();
    std::string prefix = fs::path(base).filename().string();
    std::regex dump_name(prefix + "_[0-9]{8}_[0-9]{6}\\.dmp");
    CrashFiles found;
    for (const auto& e : fs::directory_iterator(folder)) {
      std::string name = e.path().filename().string();
      if (std::regex_match(name, dump_name)) {
        EXPECT_TRUE(found.dump.empty()) << "two dumps: " << name;
        found.dump = e.path().string();
      }
    }
    if (!found.dump.empty()) {
      std::string report = found.dump.substr(0, found.dump.size() - 4) + "_main.txt";
      if (fs::exists(report)) found.report = report;
    }
    return found;
  }

  std::string IniValue(const char* key) {
    char value[4200];
    if (!faultwick::ReadIniString((bin_ + "Quessary.ini").c_str(), "FileName", key, value,
                                  sizeof value))
      return "(missing)";
    return value;
  }

  testsupport::Sandbox box_;
  std::string bin_;
  std::string home_;
  std::string output_;
};

struct CrashKind {
  const char* program;
  int signo;
  const char* error_line;
  const char* function;
};

const CrashKind kKinds[] = {
    {"faultwick_crash_null_pointer", SIGSEGV, "Error Code: C0000005 (EXCEPTION_ACCESS_VIOLATION)",
     "CrashNullPointer"},
    {"faultwick_crash_integer_divide", SIGFPE,
     "Error Code: C0000094 (EXCEPTION_INT_DIVIDE_BY_ZERO)", "CrashIntegerDivide"},
    {"faultwick_crash_abort", SIGABRT, "Error Code: 40000015 (Unknown Exception)", "CrashAbort"},
    {"faultwick_crash_stack_overflow", SIGSEGV, "Error Code: C00000FD (EXCEPTION_STACK_OVERFLOW)",
     "CrashStackOverflow"},
    {"faultwick_crash_worker_thread", SIGSEGV,
     "Error Code: C0000005 (EXCEPTION_ACCESS_VIOLATION)", "CrashInWorkerThread"},
    // A worker thread has no alternate signal stack of its own unless it
    // makes one, and without one an overflow there ends the process silently.
    {"faultwick_crash_worker_stack_overflow", SIGSEGV,
     "Error Code: C00000FD (EXCEPTION_STACK_OVERFLOW)", "CrashStackOverflow"},
};

// The minidump's streams, checked against the format's layout.
struct DumpSummary {
  bool valid = false;
  std::vector<uint32_t> streams;
  uint32_t exception_signal = 0;
  uint32_t exception_thread = 0;
  uint32_t thread_count = 0;
  uint32_t thread_id = 0;
  uint64_t rip = 0;
  uint64_t rsp = 0;
  uint64_t stack_start = 0;
  uint32_t stack_size = 0;
  std::vector<std::string> modules;
};

template <typename T>
bool ReadAt(const std::string& file, uint32_t at, T* out) {
  if (at > file.size() || file.size() - at < sizeof(T)) return false;
  std::memcpy(out, file.data() + at, sizeof(T));
  return true;
}

std::string ReadDumpString(const std::string& file, uint32_t at) {
  uint32_t bytes = 0;
  if (!ReadAt(file, at, &bytes) || at + 4 + bytes > file.size()) return "(bad)";
  std::string s;
  for (uint32_t i = 0; i < bytes; i += 2) s += file[at + 4 + i];  // ASCII paths
  return s;
}

DumpSummary ReadDump(const std::string& path) {
  namespace m = faultwick::mdmp;
  DumpSummary d;
  std::string f = ReadWholeFile(path);
  m::Header h{};
  if (!ReadAt(f, 0, &h) || h.signature != m::kSignature || (h.version & 0xFFFF) != m::kVersion)
    return d;
  for (uint32_t i = 0; i < h.number_of_streams; ++i) {
    m::Directory dir{};
    if (!ReadAt(f, h.stream_directory_rva + i * sizeof dir, &dir)) return d;
    d.streams.push_back(dir.stream_type);
    uint32_t at = dir.location.rva;
    if (dir.stream_type == m::kExceptionStream) {
      m::ExceptionStream ex{};
      m::ContextAmd64 ctx{};
      if (!ReadAt(f, at, &ex) || !ReadAt(f, ex.thread_context.rva, &ctx)) return d;
      d.exception_signal = ex.exception_record.exception_code;
      d.exception_thread = ex.thread_id;
      d.rip = ctx.rip;
      d.rsp = ctx.rsp;
    } else if (dir.stream_type == m::kThreadListStream) {
      m::Thread t{};
      if (!ReadAt(f, at, &d.thread_count) || !ReadAt(f, at + 4, &t)) return d;
      d.thread_id = t.thread_id;
      d.stack_start = t.stack.start_of_memory_range;
      d.stack_size = t.stack.memory.data_size;
      if (t.stack.memory.rva + t.stack.memory.data_size > f.size()) return d;
    } else if (dir.stream_type == m::kModuleListStream) {
      uint32_t n = 0;
      if (!ReadAt(f, at, &n)) return d;
      for (uint32_t k = 0; k < n; ++k) {
        m::Module mod{};
        if (!ReadAt(f, at + 4 + k * sizeof mod, &mod)) return d;
        d.modules.push_back(ReadDumpString(f, mod.module_name_rva));
      }
    }
  }
  d.valid = true;
  return d;
}

bool Contains(const std::vector<uint32_t>& v, uint32_t x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

TEST_F(CrashProgramTest, EachCrashLeavesDumpReportAndIni) {
  for (const CrashKind& kind : kKinds) {
    SCOPED_TRACE(kind.program);
    std::string program = Install(kind.program, kind.program);
    EXPECT_EQ(Run(program), 128 + kind.signo) << "the process dies by its signal";

    // With a home folder, BASE is the documents folder's path: the files lie
    // beside it.
    CrashFiles files = FindCrashFiles(home_ + "/Documents");
    ASSERT_FALSE(files.dump.empty());
    ASSERT_FALSE(files.report.empty());
    EXPECT_TRUE(fs::is_directory(home_ + "/Documents"));
    EXPECT_EQ(IniValue("DumpFile"), files.dump);
    EXPECT_EQ(IniValue("DumpFileExt"), files.report);

    std::string report = ReadWholeFile(files.report);
    EXPECT_TRUE(std::regex_search(
        report, std::regex("^Total Memory: [0-9]+\\(KB\\),  Avail Memory: [0-9]+\\(KB\\)\r\n"
                           "Total Virtual Memory: [0-9]+\\(KB\\),  Avail Virtual Memory: "
                           "[0-9]+\\(KB\\)\r\n")))
        << report;
    EXPECT_NE(report.find("The following information can be found in file: " + files.report +
                          "\r\n" + kind.error_line + "\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\r\n\r\n\r\n-----------------stack track-----------------\r\n"),
              std::string::npos);
    // Every line ends in CR LF.
    std::string bare = std::regex_replace(report, std::regex("\r\n"), "");
    EXPECT_EQ(bare.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(report.back(), '\n');
    EXPECT_LT(report.size(), 4000u);

    // The crashing function's frame names the program, its symbol and an
    // offset; the instruction address matches the dump's registers.
    std::smatch frame;
    ASSERT_TRUE(std::regex_search(
        report, frame,
        std::regex("0X([0-9A-F]{8,})\\[([0-9A-F]+)\\] " + program + ": [^\r\n]*" +
                   kind.function + "[^\r\n]*\\+0X[0-9A-F]+\r\n")))
        << report;
    std::smatch where;
    ASSERT_TRUE(std::regex_search(report, where,
                                  std::regex("Instruction Address: 0X([0-9A-F]{8,})\r\n"
                                             "Base Offset: 0X([0-9A-F]{8,})\r\n")));
    DumpSummary dump = ReadDump(files.dump);
    ASSERT_TRUE(dump.valid);
    for (uint32_t s : {3u, 4u, 5u, 6u, 7u}) EXPECT_TRUE(Contains(dump.streams, s)) << s;
    EXPECT_EQ(dump.exception_signal, static_cast<uint32_t>(kind.signo));
    EXPECT_EQ(dump.thread_count, 1u);
    EXPECT_EQ(dump.thread_id, dump.exception_thread);
    EXPECT_EQ(dump.rip, std::stoull(where[1].str(), nullptr, 16));
    // Having run off its stack, a thread's stack pointer may lie a little
    // below the stack's lowest mapped page.
    EXPECT_LE(dump.stack_start, dump.rsp + 4096);
    EXPECT_GT(dump.stack_start + dump.stack_size, dump.rsp);
    EXPECT_TRUE(std::find(dump.modules.begin(), dump.modules.end(), program) != dump.modules.end());

    // Close was chosen: no sender ran.
    EXPECT_FALSE(fs::exists(box_.path("data/Hollomay")));
    fs::remove(files.dump);
    fs::remove(files.report);
  }
}

TEST_F(CrashProgramTest, LldbShowsTheCrashingFunction) {
  if (!testsupport::HaveProgram("lldb")) GTEST_SKIP() << "lldb is not installed";
  for (const CrashKind& kind : kKinds) {
    SCOPED_TRACE(kind.program);
    std::string program = Install(kind.program, kind.program);
    Run(program);
    CrashFiles files = FindCrashFiles(home_ + "/Documents");
    ASSERT_FALSE(files.dump.empty());
    std::string out;
    testsupport::RunCommand({"lldb", "--batch", "-c", files.dump, program, "-o", "bt"}, &out);
    EXPECT_NE(out.find("stop reason = signal"), std::string::npos) << out;
    std::smatch frame;
    EXPECT_TRUE(std::regex_search(out, frame,
                                  std::regex("frame #[0-9]+: 0x[0-9a-f]+ " + std::string(kind.program) +
                                             "`[^\n]*" + kind.function)))
        << out;
    fs::remove(files.dump);
    fs::remove(files.report);
  }
}

// Built as the Release programs are (optimised, no frame pointers): the
// report and a debugger on the dump both follow the call chain, with the
// names as the source spells them.
TEST_F(CrashProgramTest, OptimisedProgramReportsItsCallChain) {
  std::string program = Install("faultwick_crash_optimised_chain", "faultwick_crash_optimised_chain");
  EXPECT_EQ(Run(program), 128 + SIGSEGV);
  CrashFiles files = FindCrashFiles(home_ + "/Documents");
  ASSERT_FALSE(files.report.empty());
  const std::string report = ReadWholeFile(files.report);
  auto escaped = [](const std::string& s) {
    return std::regex_replace(s, std::regex(R"([()*+])"), R"(\$&)");
  };
  // The three frames in order, one line each.
  std::string pattern = escaped("(anonymous namespace)::InnerFault(int*)+0X") +
                        "[0-9A-F]+\r\n[^\r\n]*" +
                        escaped("(anonymous namespace)::MiddleCall(int*)+0X") +
                        "[0-9A-F]+\r\n[^\r\n]*" +
                        escaped("(anonymous namespace)::OuterCall(int*)+0X") + "[0-9A-F]+\r\n";
  EXPECT_TRUE(std::regex_search(report, std::regex(pattern))) << report;

  if (!testsupport::HaveProgram("lldb")) GTEST_SKIP() << "lldb is not installed";
  std::string out;
  testsupport::RunCommand({"lldb", "--batch", "-c", files.dump, program, "-o", "bt"}, &out);
  size_t at = 0;
  for (const char* name : {"InnerFault", "MiddleCall", "OuterCall"}) {
    at = out.find(std::string("`(anonymous namespace)::") + name, at);
    ASSERT_NE(at, std::string::npos) << name << " in\n" << out;
  }
}

// A program whose standard input is closed still hands the dialog its
// report: the pipe then lands on descriptor 0 itself.
TEST_F(CrashProgramTest, DialogGetsTheReportWhenStandardInputIsClosed) {
  std::string program = Install("faultwick_crash_null_pointer", "faultwick_crash_null_pointer");
  // A dialog stand-in that keeps what it was given and chooses "Close".
  const std::string seen = box_.path("dialog-input");
  fs::remove(bin_ + "FaultwickDialog");
  box_.WriteFile("bin/FaultwickDialog", "#!/bin/sh\ncat > '" + seen + "'\nexit 2\n");
  fs::permissions(bin_ + "FaultwickDialog", fs::perms::owner_all);
  std::string cmd = "exec '" + program + "' <&- 2>'" + box_.path("stderr") + "'";
  EXPECT_EQ(testsupport::RunCommand({"/bin/sh", "-c", cmd}, &output_), 128 + SIGSEGV);
  CrashFiles files = FindCrashFiles(home_ + "/Documents");
  ASSERT_FALSE(files.report.empty());
  const std::string report = ReadWholeFile(files.report);
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(ReadWholeFile(seen), report);
}

// The files are named after the crash's time in UTC whatever the time zone;
// the player's copy names its dump in local time.
TEST_F(CrashProgramTest, FileNamesInUtcAndThePlayersInLocalTime) {
  // Fourteen hours east of UTC, written out so no zone data is needed.
  const char* zone = "XYZ-14";
  auto stamp = [](std::time_t t, bool utc) {
    std::tm fields{};
    if (utc)
      gmtime_r(&t, &fields);
    else
      localtime_r(&t, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &fields);
    return std::string(text);
  };
  const char* old_zone = std::getenv("TZ");
  const std::string saved = old_zone ? old_zone : "";
  ::setenv("TZ", zone, 1);
  ::tzset();
  struct Case {
    const char* built;
    const char* name;
    bool utc;
  };
  for (const Case& c : {Case{"faultwick_crash_null_pointer", "faultwick_crash_null_pointer", true},
                        Case{"pellumo_crash_null_pointer", "Pellumo.bin", false}}) {
    SCOPED_TRACE(c.name);
    std::string program = Install(c.built, c.name);
    const std::time_t before = std::time(nullptr);
    Run(program);
    const std::time_t after = std::time(nullptr);
    std::string folder = c.utc ? home_ : bin_;
    std::string prefix = c.utc ? "Documents_" : "Pellumo_";
    std::string found;
    for (const auto& e : fs::directory_iterator(folder)) {
      std::string n = e.path().filename().string();
      if (n.rfind(prefix, 0) == 0 && n.size() > 4 && n.substr(n.size() - 4) == ".dmp") found = n;
    }
    ASSERT_FALSE(found.empty());
    const std::string got = found.substr(prefix.size(), 15);
    bool matches = false;
    for (std::time_t t = before; t <= after; ++t) matches |= got == stamp(t, c.utc);
    EXPECT_TRUE(matches) << found << " between " << stamp(before, c.utc) << " and "
                         << stamp(after, c.utc);
  }
  if (old_zone)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

// Without a documents folder the files are named after the program path
// cut at its first ".", beside the program.
TEST_F(CrashProgramTest, NoDocumentsFolderNamesFilesAfterTheProgram) {
  std::string program = Install("faultwick_crash_null_pointer", "Tamborel.exe");
  SetHome(box_.path("gone/home"));  // its parent is missing: nothing can be created there
  EXPECT_EQ(Run(program), 128 + SIGSEGV);
  CrashFiles files = FindCrashFiles(bin_ + "Tamborel");
  ASSERT_FALSE(files.dump.empty());
  ASSERT_FALSE(files.report.empty());
  EXPECT_EQ(IniValue("DumpFile"), files.dump);
  EXPECT_EQ(IniValue("DumpFileExt"), files.report);
  EXPECT_FALSE(fs::exists(box_.path("gone")));
}

// A dump that cannot be written still leaves the report, and the ini file
// names both.
TEST_F(CrashProgramTest, FailedDumpStillRecordsTheReport) {
  std::string program = Install("faultwick_crash_integer_divide", "faultwick_crash_integer_divide");
  EXPECT_EQ(Run(program, "--file-limit"), 128 + SIGFPE);
  CrashFiles files = FindCrashFiles(home_ + "/Documents");
  ASSERT_FALSE(files.dump.empty());
  ASSERT_FALSE(files.report.empty());
  EXPECT_FALSE(ReadDump(files.dump).valid);
  EXPECT_NE(ReadWholeFile(files.report).find("EXCEPTION_INT_DIVIDE_BY_ZERO"), std::string::npos);
  EXPECT_EQ(IniValue("DumpFile"), files.dump);
  EXPECT_EQ(IniValue("DumpFileExt"), files.report);
  EXPECT_NE(ReadWholeFile(box_.path("stderr")).find("Create DUMP file error!"), std::string::npos);
}

#ifdef FAULTWICK_HAVE_DIALOG
TEST_F(CrashProgramTest, SendReportStartsTheSender) {
  std::string program = Install("faultwick_crash_null_pointer", "faultwick_crash_null_pointer");
  ::setenv("FAULTWICK_DIALOG_ANSWER", "send", 1);
  EXPECT_EQ(Run(program), 128 + SIGSEGV);
  CrashFiles files = FindCrashFiles(home_ + "/Documents");
  ASSERT_FALSE(files.report.empty());
  // The sender shares the crashed program's output, which Run reads to the end.
  std::string outbox = box_.path("data/Hollomay/outbox/");
  for (const std::string& f : {files.dump, files.report}) {
    std::string copy = outbox + fs::path(f).filename().string();
    EXPECT_EQ(ReadWholeFile(copy), ReadWholeFile(f));
    EXPECT_NE(output_.find("Hollomay: copied " + f + " to " + copy), std::string::npos) << output_;
  }
}
#endif

TEST_F(CrashProgramTest, PlayerCopyWritesOnlyTheDump) {
  std::string program = Install("pellumo_crash_null_pointer", "Pellumo.bin");
  EXPECT_EQ(Run(program), 128 + SIGSEGV);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(bin_)) names.push_back(e.path().filename().string());
  std::vector<std::string> dumps;
  for (const std::string& n : names)
    if (std::regex_match(n, std::regex("Pellumo_[0-9]{8}_[0-9]{6}\\.dmp"))) dumps.push_back(n);
  ASSERT_EQ(dumps.size(), 1u);
  DumpSummary dump = ReadDump(bin_ + dumps[0]);
  EXPECT_TRUE(dump.valid);
  EXPECT_EQ(dump.exception_signal, static_cast<uint32_t>(SIGSEGV));
  EXPECT_FALSE(fs::exists(bin_ + "Quessary.ini"));
  for (const std::string& n : names) EXPECT_EQ(n.find("_main.txt"), std::string::npos) << n;
  EXPECT_TRUE(fs::is_empty(home_)) << "no documents folder is made";
}

}  // namespace
