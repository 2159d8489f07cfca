// Which browser started the host: browsers start native messaging hosts as
// their own children, so the parent process names it.
#pragma once

#include <sys/types.h>

#include <string>

namespace browserhost {

// The executable name of process `pid` (the file name of /proc/<pid>/exe,
// "chromium", "firefox-esr"), or its command name when the link cannot be
// read (another user's process); empty when neither can.
std::string ExecutableNameOfProcess(pid_t pid);

}  // namespace browserhost
