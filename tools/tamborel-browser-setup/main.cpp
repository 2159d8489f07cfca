// tamborel-browser-setup: registers the native host for Chromium and Firefox,
// puts the extension into the default Firefox profiles, and says what the one
// step is that only the user can take in Chromium. Exit 0 when everything it
// could do was done.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/capture/browser/firefox_profile.h"
#include "app/capture/browser/host_registration.h"
#include "app/capture/browser/installed_browsers.h"
#include "platform/program_dir.h"
#include "platform/user_folders.h"

namespace {

bool Has(const std::vector<std::string>& list, const char* name) {
  for (const std::string& s : list)
    if (s == name) return true;
  return false;
}

}  // namespace

int main() {
  const std::string programDir = platform::ExecutableDir();
  const std::string home = platform::HomeFolder();
  if (programDir.empty() || home.empty()) {
    std::fprintf(stderr, "tamborel-browser-setup: cannot find the program folder or the home folder\n");
    return 1;
  }
  const std::string host = programDir + browserhost::kHostProgramName;
  if (::access(host.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "tamborel-browser-setup: %s is missing\n", host.c_str());
    return 1;
  }
  std::string failed;
  if (!browserhost::RegisterNativeHostForUser(host, &failed)) {
    std::fprintf(stderr, "tamborel-browser-setup: cannot write %s\n", failed.c_str());
    return 1;
  }
  std::printf("The browsers can now start %s.\n", host.c_str());

  int code = 0;
  const std::vector<std::string> installed = browserhost::InstalledBrowsers();
  const std::string xpi = programDir + "browser/firefox.xpi";
  const std::vector<std::string> profiles = browserhost::DefaultFirefoxProfiles(home + ".mozilla/firefox/");
  if (profiles.empty()) {
    if (Has(installed, "firefox-esr") || Has(installed, "firefox")) {
      std::printf("\nFirefox: no profile yet. Start Firefox once, close it, and run tamborel-browser-setup again.\n");
      code = 1;
    }
  } else if (::access(xpi.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "tamborel-browser-setup: %s is missing\n", xpi.c_str());
    code = 1;
  } else {
    for (const std::string& profile : profiles) {
      std::string reason;
      if (browserhost::InstallIntoFirefoxProfile(profile, xpi, &reason)) {
        std::printf("\nFirefox: the extension is in the profile %s; it is active from Firefox's next start.\n",
                    profile.c_str());
      } else {
        std::fprintf(stderr, "tamborel-browser-setup: %s\n", reason.c_str());
        code = 1;
      }
    }
  }

  std::printf(
      "\nChromium: one step is yours. Open chrome://extensions, switch on \"Developer mode\" (top right),\n"
      "press \"Load unpacked\" and choose the folder\n    %sbrowser/chromium\n"
      "Chromium keeps the extension from then on.\n",
      programDir.c_str());
  return code;
}
