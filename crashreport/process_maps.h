// The process's memory map and the loaded modules, read from
// /proc/self/maps into fixed tables so that a crash handler can use it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace faultwick {

struct MapRegion {
  uintptr_t start;
  uintptr_t end;
  uint64_t offset;
  uint32_t path_at;   // into the path pool; 0 is the empty text
  bool readable;
  bool executable;
};

// A mapped ELF image: the file's mappings from offset 0 on, with at least
// one of them executable (which keeps fonts and other data files out).
struct ModuleInfo {
  uintptr_t base;
  uintptr_t end;
  const char* path;
};

class ProcessMaps {
 public:
  static constexpr size_t kMaxRegions = 4096;
  static constexpr size_t kMaxModules = 512;
  static constexpr size_t kPathPoolSize = 128 * 1024;

  // Reads /proc/self/maps; false when it cannot be opened.
  bool ReadSelf();
  // Reads a maps text from an open descriptor.
  bool ReadFrom(int fd);

  size_t region_count() const { return region_count_; }
  const MapRegion& region(size_t i) const { return regions_[i]; }
  const char* path(const MapRegion& r) const { return pool_ + r.path_at; }
  // The region holding `address`, or null.
  const MapRegion* FindRegion(uintptr_t address) const;

  size_t module_count() const { return module_count_; }
  const ModuleInfo& module(size_t i) const { return modules_[i]; }
  // The module whose range holds `address`, or null.
  const ModuleInfo* FindModule(uintptr_t address) const;

 private:
  void ParseLine(const char* line, size_t n);
  void BuildModules();
  uint32_t AddPath(const char* s, size_t n);

  MapRegion regions_[kMaxRegions];
  size_t region_count_ = 0;
  ModuleInfo modules_[kMaxModules];
  size_t module_count_ = 0;
  char pool_[kPathPoolSize];
  size_t pool_used_ = 0;
};

}  // namespace faultwick
