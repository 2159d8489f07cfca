// The memory figures of the report's first line, in KB.
#pragma once

#include <cstdint>

namespace faultwick {

struct MemoryStatus {
  int64_t total_physical_kb = 0;
  int64_t available_physical_kb = 0;
  int64_t total_virtual_kb = 0;      // the address space the process may use
  int64_t available_virtual_kb = 0;  // what of it is not mapped yet
};

// From /proc/meminfo, /proc/self/status and the address-space limit, read
// with raw system calls into fixed buffers.
MemoryStatus ReadMemoryStatus();

// The value in kB of "Name:" in a /proc text, or -1.
int64_t ProcField(const char* text, const char* name);

}  // namespace faultwick
