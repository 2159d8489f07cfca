// Standard folders of the desktop the program runs on.
#pragma once

#include <string>

namespace platform {

// The user's documents folder (XDG_DOCUMENTS_DIR), ending in the path
// separator; empty when it is not known.
std::string DocumentsFolder();

}  // namespace platform
