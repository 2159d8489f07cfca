// The program folder: Task.dat and the assets (sound/, Skin/) live there.
#pragma once

#include <string>

// Folder of the running program, ending in the path separator; empty when it
// cannot be found out.
std::string GetProgramDir();
