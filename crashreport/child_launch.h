// Starting programs from the crash handler. A raw clone and execve: the
// C library's fork runs fork handlers and takes the allocator's locks,
// which a crash may have left held.
#pragma once

#include <sys/types.h>

namespace faultwick {

// Starts `argv[0]` (a full path) with the process's environment. With
// `stdin_fd` >= 0 that descriptor becomes the child's standard input; the
// child keeps standard output and error and nothing else. Returns the
// child's id, or -1.
pid_t StartProgram(const char* const argv[], int stdin_fd);

// Waits for the child; its exit code, or -1 when it did not exit normally.
int WaitProgram(pid_t pid);

}  // namespace faultwick
