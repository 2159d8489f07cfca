// Registers the native messaging host with the browsers of the current user:
// one manifest per browser family, naming the host program and the one
// extension allowed to start it.
#pragma once

#include <string>
#include <vector>

namespace browserhost {

inline constexpr char kHostName[] = "com.quorlin.tamborel";
inline constexpr char kHostProgramName[] = "tamborel-browser-host";
// The id Chromium derives from the extension's fixed public key.
inline constexpr char kChromiumExtensionId[] = "nojkknhipmmegnomkhkpkanflhjipdfj";
inline constexpr char kFirefoxExtensionId[] = "tamborel@quorlin.com";

std::string ChromiumHostManifest(const std::string& hostPath);
std::string FirefoxHostManifest(const std::string& hostPath);

struct ManifestPlace {
  std::string path;     // where the manifest goes
  bool firefox = false;  // else a Chromium-family one
};

// Chromium's and Firefox's places for `home` and `configHome` (both ending in
// '/'); Google Chrome's only when its configuration folder exists.
std::vector<ManifestPlace> HostManifestPlaces(const std::string& home, const std::string& configHome);

// Writes every manifest for the host at `hostPath` (absolute), creating the
// folders; a manifest already holding that text is left alone. False, with
// the first failing path, when one could not be written.
bool RegisterNativeHost(const std::string& hostPath, const std::string& home, const std::string& configHome,
                        std::string* failedPath = nullptr);
// The same for the current user ($HOME, $XDG_CONFIG_HOME).
bool RegisterNativeHostForUser(const std::string& hostPath, std::string* failedPath = nullptr);

}  // namespace browserhost
