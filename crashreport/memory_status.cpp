#include "crashreport/memory_status.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace faultwick {

namespace {

// The user half of the x86-64 address space (47 bits, less the top page).
constexpr int64_t kUserAddressSpace = 0x7FFFFFFFF000LL;

char g_proc_text[16384];

const char* ReadProcFile(const char* path) {
  g_proc_text[0] = '\0';
  int fd;
  do fd = ::open(path, O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return g_proc_text;
  size_t len = 0;
  for (;;) {
    ssize_t n = ::read(fd, g_proc_text + len, sizeof g_proc_text - 1 - len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    len += static_cast<size_t>(n);
    if (len + 1 >= sizeof g_proc_text) break;
  }
  g_proc_text[len] = '\0';
  ::close(fd);
  return g_proc_text;
}

}  // namespace

int64_t ProcField(const char* text, const char* name) {
  for (const char* line = text; *line;) {
    const char* p = line;
    const char* n = name;
    while (*n && *p == *n) ++p, ++n;
    if (!*n && *p == ':') {
      ++p;
      while (*p == ' ' || *p == '\t') ++p;
      if (*p < '0' || *p > '9') return -1;
      int64_t v = 0;
      while (*p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
      return v;
    }
    while (*line && *line != '\n') ++line;
    if (*line) ++line;
  }
  return -1;
}

MemoryStatus ReadMemoryStatus() {
  MemoryStatus m;
  const char* meminfo = ReadProcFile("/proc/meminfo");
  m.total_physical_kb = ProcField(meminfo, "MemTotal");
  m.available_physical_kb = ProcField(meminfo, "MemAvailable");
  if (m.available_physical_kb < 0) m.available_physical_kb = ProcField(meminfo, "MemFree");
  if (m.total_physical_kb < 0) m.total_physical_kb = 0;
  if (m.available_physical_kb < 0) m.available_physical_kb = 0;

  int64_t total = kUserAddressSpace;
  rlimit as{};
  if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY &&
      static_cast<int64_t>(as.rlim_cur) < total)
    total = static_cast<int64_t>(as.rlim_cur);
  m.total_virtual_kb = total >> 10;
  int64_t used = ProcField(ReadProcFile("/proc/self/status"), "VmSize");
  m.available_virtual_kb = used >= 0 && used <= m.total_virtual_kb ? m.total_virtual_kb - used
                                                                  : m.total_virtual_kb;
  return m;
}

}  // namespace faultwick
