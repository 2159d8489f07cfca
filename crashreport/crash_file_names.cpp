#include "crashreport/crash_file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crashreport/bounded_text.h"

namespace faultwick {

CivilTime UtcFromEpoch(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rem = seconds % 86400;
  if (rem < 0) {
    rem += 86400;
    --days;
  }
  // Days to civil date in the proleptic Gregorian calendar.
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  return CivilTime{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d),
                   static_cast<int>(rem / 3600), static_cast<int>(rem % 3600 / 60),
                   static_cast<int>(rem % 60)};
}

void ProgramPathBase(const char* program_path, char* out, size_t capacity) {
  BoundedText t(out, capacity);
  for (const char* p = program_path; *p && *p != '.'; ++p) t.AddChar(*p);
}

void FolderOf(const char* path, char* out, size_t capacity) {
  BoundedText t(out, capacity);
  const char* slash = std::strrchr(path, '/');
  if (slash) t.Add(path, static_cast<size_t>(slash - path));
}

bool LookUpDocumentsFolder(char* out, size_t capacity) {
  BoundedText t(out, capacity);
  const char* home = std::getenv("HOME");
  if (!home || !*home) return false;
  std::string folder = std::string(home) + "/Documents";

  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string dirs = (config && *config == '/' ? std::string(config) : std::string(home) + "/.config") +
                     "/user-dirs.dirs";
  int fd = ::open(dirs.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    size_t at = 0;
    while (at < text.size()) {
      size_t eol = text.find('\n', at);
      std::string line = text.substr(at, eol == std::string::npos ? std::string::npos : eol - at);
      at = eol == std::string::npos ? text.size() : eol + 1;
      const std::string key = "XDG_DOCUMENTS_DIR=\"";
      if (line.rfind(key, 0) != 0) continue;
      size_t close = line.find('"', key.size());
      if (close == std::string::npos) continue;
      std::string value = line.substr(key.size(), close - key.size());
      if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
      if (!value.empty() && value[0] == '/') folder = value;
    }
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  t.Add(folder.c_str());
  return !t.overflowed();
}

bool EnsureFolder(const char* path) {
  if (!path || !*path) return false;
  if (::mkdir(path, 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

void AddStamp(BoundedText& t, const CivilTime& c, int year_digits) {
  t.AddPadded(static_cast<uint64_t>(c.year), year_digits)
      .AddPadded(static_cast<uint64_t>(c.month), 2)
      .AddPadded(static_cast<uint64_t>(c.day), 2)
      .AddChar('_')
      .AddPadded(static_cast<uint64_t>(c.hour), 2)
      .AddPadded(static_cast<uint64_t>(c.minute), 2)
      .AddPadded(static_cast<uint64_t>(c.second), 2);
}

}  // namespace

void MakeCrashPaths(const char* base, const CivilTime& c, CrashPaths* out) {
  BoundedText dump(out->dump, sizeof out->dump);
  dump.Add(base).AddChar('_');
  AddStamp(dump, c, 2);
  BoundedText report(out->report, sizeof out->report);
  report.Add(dump.c_str()).Add("_main.txt");
  dump.Add(".dmp");
}

void MakePlayerDumpPath(const char* base, const CivilTime& c, char* out, size_t capacity) {
  BoundedText dump(out, capacity);
  dump.Add(base).AddChar('_');
  AddStamp(dump, c, 4);
  dump.Add(".dmp");
}

}  // namespace faultwick
