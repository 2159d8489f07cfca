// Starting the program at login, hidden in the tray: an XDG autostart entry.
#pragma once

#include <string>

namespace platform {

// UserConfigFolder() + "autostart/tamborel.desktop"; empty when no home is known.
std::string AutoStartEntryPath();

// on: writes the entry that runs `program_path` with " -min"; off: removes
// it. True when the entry is as asked afterwards. A path that an entry
// cannot carry (empty, or with a line break) is refused.
bool SetAutoStart(bool on, const std::string& program_path);

// The Exec= value for `program_path` with " -min", quoted and escaped as
// desktop entries require.
std::string AutoStartExecLine(const std::string& program_path);

}  // namespace platform
