// The current user's folders as the XDG rules give them.
#pragma once

#include <string>

namespace platform {

// $HOME, else the password entry's home; ending in the path separator, or
// empty when neither is known.
std::string HomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else HomeFolder() + ".config/";
// ending in the path separator, or empty when no home is known.
std::string UserConfigFolder();

}  // namespace platform
