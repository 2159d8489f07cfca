#include "core/program_dir.h"

#include "platform/program_dir.h"

std::string GetProgramDir() { return platform::ExecutableDir(); }
