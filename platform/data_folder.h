// The per-user data folder: where the program keeps the files it writes for
// itself (Task.dat and its side copies), since its own folder may not be
// writable.
#pragma once

#include <string>

namespace platform {

// $XDG_DATA_HOME/Quorlin/<application>/ (an absolute XDG_DATA_HOME only),
// else ~/.local/share/Quorlin/<application>/; ending in the path separator.
// The folder is created with mode 0700 when missing. Empty when no home is
// known or the folder cannot be made.
std::string UserDataFolder(const std::string& application = "Tamborel");

}  // namespace platform
