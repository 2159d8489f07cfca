// Puts the extension into a Firefox profile so that the next start loads it
// without a question: the .xpi under the add-on's id in the profile's
// extensions folder, and the preferences that let an unsigned add-on from
// there run (Debian's ESR build honours them).
#pragma once

#include <string>
#include <vector>

namespace browserhost {

// The profiles a plain start of Firefox uses, from profiles.ini in
// `firefoxDir` (~/.mozilla/firefox/, ending in '/'): the default of every
// installation ([Install...] sections), else the profile marked Default=1,
// else the first one. Empty when there is no profile.
std::vector<std::string> DefaultFirefoxProfiles(const std::string& firefoxDir);

// The lines user.js needs, as `userJs` with any older setting of the same
// preferences replaced and everything else kept.
std::string WithExtensionPrefs(const std::string& userJs);

// Copies `xpiPath` into the profile and writes its user.js. False with a
// reason when a file could not be written.
bool InstallIntoFirefoxProfile(const std::string& profileDir, const std::string& xpiPath, std::string* reason);

}  // namespace browserhost
