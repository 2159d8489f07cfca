// Writes a minidump of the crashed process: system information, the
// exception, the crashed thread with its registers and stack, the loaded
// modules and the memory around the stack and the faulting instruction.
// Called from the signal handler: no allocation, only raw system calls.
#pragma once

#include <cstdint>

#include "crashreport/crash_context.h"
#include "crashreport/process_maps.h"
#include "crashreport/stack_walk.h"

namespace faultwick {

// Gathers the processor and kernel details once, before any crash.
void PrepareMinidumpSystemInfo();

// The stack memory a dump keeps at most, from the stack pointer upwards.
inline constexpr uintptr_t kMaxStackCapture = 256 * 1024;

// The crashed thread's stack as the memory map shows it: the region that
// holds the stack pointer, or after running off its end, the region just
// above it. {0, 0} when there is none.
StackBounds FindStack(const ProcessMaps& maps, uintptr_t sp);

// Writes the dump into `fd` (open for writing, empty). True when every
// part was written.
bool WriteMinidump(int fd, const CrashContext& crash, const ProcessMaps& maps);

// The same into a new file at `path` (an old one is replaced). True when
// the file was created and every part written and closed.
bool WriteMinidumpFile(const char* path, const CrashContext& crash, const ProcessMaps& maps);

}  // namespace faultwick
