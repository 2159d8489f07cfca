// Where the running program lives: its assets sit beside it.
#pragma once

#include <string>

namespace platform {

// Folder of the running executable, ending in the path separator; empty when
// it cannot be found out.
std::string ExecutableDir();

}  // namespace platform
