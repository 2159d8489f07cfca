// The browsers installed on this system, by the executable names their
// processes run under (what the monitored-browser list holds).
#pragma once

#include <string>
#include <vector>

namespace browserhost {

// Known browsers whose command is on `searchPath` (a PATH text), each
// executable name once, in a fixed order.
std::vector<std::string> InstalledBrowsers(const std::string& searchPath);
// The same for this process's PATH and /usr/bin.
std::vector<std::string> InstalledBrowsers();

}  // namespace browserhost
