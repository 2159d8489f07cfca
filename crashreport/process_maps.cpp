#include "crashreport/process_maps.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace faultwick {

namespace {

// Parses hexadecimal digits at *p; moves *p past them.
uint64_t ParseHex(const char*& p, const char* end) {
  uint64_t v = 0;
  while (p < end) {
    char c = *p;
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    v = (v << 4) | static_cast<uint64_t>(d);
    ++p;
  }
  return v;
}

void SkipField(const char*& p, const char* end) {
  while (p < end && *p != ' ') ++p;
  while (p < end && *p == ' ') ++p;
}

bool SameText(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

bool ProcessMaps::ReadSelf() {
  int fd;
  do fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  bool ok = ReadFrom(fd);
  ::close(fd);
  return ok;
}

bool ProcessMaps::ReadFrom(int fd) {
  region_count_ = 0;
  module_count_ = 0;
  pool_[0] = '\0';
  pool_used_ = 1;
  // A line longer than the buffer keeps its start: the addresses and flags
  // still count, only the path is cut.
  char chunk[4096];
  char line[4096 + 256];
  size_t line_len = 0;
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (chunk[i] == '\n') {
        ParseLine(line, line_len);
        line_len = 0;
      } else if (line_len < sizeof line) {
        line[line_len++] = chunk[i];
      }
    }
  }
  if (line_len > 0) ParseLine(line, line_len);
  BuildModules();
  return true;
}

void ProcessMaps::ParseLine(const char* line, size_t n) {
  if (region_count_ >= kMaxRegions) return;
  const char* p = line;
  const char* end = line + n;
  MapRegion r{};
  r.start = ParseHex(p, end);
  if (p >= end || *p != '-') return;
  ++p;
  r.end = ParseHex(p, end);
  if (p >= end || *p != ' ' || r.end <= r.start) return;
  ++p;
  if (end - p < 4) return;
  r.readable = p[0] == 'r';
  r.executable = p[2] == 'x';
  SkipField(p, end);              // permissions
  r.offset = ParseHex(p, end);
  while (p < end && *p == ' ') ++p;
  SkipField(p, end);              // device
  SkipField(p, end);              // inode, then the spaces before the path
  r.path_at = p < end ? AddPath(p, static_cast<size_t>(end - p)) : 0;
  regions_[region_count_++] = r;
}

uint32_t ProcessMaps::AddPath(const char* s, size_t n) {
  // Consecutive regions of one file share their text.
  if (region_count_ > 0) {
    const char* last = pool_ + regions_[region_count_ - 1].path_at;
    size_t i = 0;
    while (i < n && last[i] == s[i]) ++i;
    if (i == n && last[i] == '\0') return regions_[region_count_ - 1].path_at;
  }
  if (pool_used_ + n + 1 > kPathPoolSize) return 0;
  uint32_t at = static_cast<uint32_t>(pool_used_);
  for (size_t i = 0; i < n; ++i) pool_[pool_used_++] = s[i];
  pool_[pool_used_++] = '\0';
  return at;
}

void ProcessMaps::BuildModules() {
  bool open = false;
  bool has_code = false;
  auto close_module = [&] {
    if (open && !has_code) --module_count_;
    open = false;
  };
  for (size_t i = 0; i < region_count_; ++i) {
    const MapRegion& r = regions_[i];
    const char* p = path(r);
    if (p[0] != '/') continue;  // anonymous memory, [stack], [vdso] ...
    ModuleInfo* last = open ? &modules_[module_count_ - 1] : nullptr;
    if (last && r.offset != 0 && SameText(last->path, p)) {
      if (r.end > last->end) last->end = r.end;
      has_code = has_code || r.executable;
      continue;
    }
    close_module();
    if (r.offset != 0 || module_count_ >= kMaxModules) continue;
    modules_[module_count_++] = ModuleInfo{r.start, r.end, p};
    open = true;
    has_code = r.executable;
  }
  close_module();
}

const MapRegion* ProcessMaps::FindRegion(uintptr_t address) const {
  for (size_t i = 0; i < region_count_; ++i)
    if (address >= regions_[i].start && address < regions_[i].end) return &regions_[i];
  return nullptr;
}

const ModuleInfo* ProcessMaps::FindModule(uintptr_t address) const {
  for (size_t i = 0; i < module_count_; ++i)
    if (address >= modules_[i].base && address < modules_[i].end) return &modules_[i];
  return nullptr;
}

}  // namespace faultwick
