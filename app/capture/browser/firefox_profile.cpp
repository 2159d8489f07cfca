#include "app/capture/browser/firefox_profile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/capture/browser/host_registration.h"
#include "platform/atomic_file_writer.h"

namespace browserhost {

namespace {

namespace fs = std::filesystem;

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;
  std::string Get(const std::string& key) const {
    for (const auto& [k, v] : values)
      if (k == key) return v;
    return {};
  }
};

std::vector<IniSection> ReadIni(const std::string& path) {
  std::vector<IniSection> sections;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      sections.push_back({line.substr(1, line.size() - 2), {}});
    } else if (const size_t eq = line.find('='); eq != std::string::npos && !sections.empty()) {
      sections.back().values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  return sections;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Install sections name the profile by its Path text as the Profile
// sections write it (relative to the folder unless absolute).
std::string ProfileDir(const std::string& firefoxDir, const std::string& path, bool relative) {
  if (path.empty()) return {};
  return relative ? firefoxDir + path : path;
}

constexpr const char* kPrefs[][2] = {
    {"xpinstall.signatures.required", "false"},
    {"extensions.autoDisableScopes", "0"},
    {"extensions.enabledScopes", "15"},
    // A profile that has run before only notices a new add-on in its
    // extensions folder when it looks there at start.
    {"extensions.startupScanScopes", "1"},
};

bool WriteFile(const std::string& path, const std::string& text) {
  platform::AtomicFileWriter writer;
  return writer.Begin(path) && writer.Write(text.data(), text.size()) && writer.Commit();
}

}  // namespace

std::vector<std::string> DefaultFirefoxProfiles(const std::string& firefoxDir) {
  const std::vector<IniSection> ini = ReadIni(firefoxDir + "profiles.ini");
  std::vector<std::string> found;
  auto add = [&](const std::string& dir) {
    if (!dir.empty() && std::find(found.begin(), found.end(), dir) == found.end()) found.push_back(dir);
  };
  for (const IniSection& s : ini) {
    if (!StartsWith(s.name, "Install")) continue;
    const std::string path = s.Get("Default");
    add(ProfileDir(firefoxDir, path, !path.empty() && path[0] != '/'));
  }
  if (!found.empty()) return found;
  const IniSection* first = nullptr;
  for (const IniSection& s : ini) {
    if (!StartsWith(s.name, "Profile")) continue;
    if (!first) first = &s;
    if (s.Get("Default") == "1") {
      add(ProfileDir(firefoxDir, s.Get("Path"), s.Get("IsRelative") != "0"));
      return found;
    }
  }
  if (first) add(ProfileDir(firefoxDir, first->Get("Path"), first->Get("IsRelative") != "0"));
  return found;
}

std::string WithExtensionPrefs(const std::string& userJs) {
  std::istringstream in(userJs);
  std::string out, line;
  while (std::getline(in, line)) {
    bool ours = false;
    for (const auto& pref : kPrefs)
      ours = ours || line.find("\"" + std::string(pref[0]) + "\"") != std::string::npos;
    if (!ours) out += line + "\n";
  }
  for (const auto& pref : kPrefs) out += "user_pref(\"" + std::string(pref[0]) + "\", " + pref[1] + ");\n";
  return out;
}

bool InstallIntoFirefoxProfile(const std::string& profileDir, const std::string& xpiPath, std::string* reason) {
  std::error_code ec;
  const fs::path extensions = fs::path(profileDir) / "extensions";
  fs::create_directories(extensions, ec);
  const fs::path target = extensions / (std::string(kFirefoxExtensionId) + ".xpi");
  if (!fs::copy_file(xpiPath, target, fs::copy_options::overwrite_existing, ec)) {
    *reason = "cannot copy " + xpiPath + " to " + target.string() + ": " + ec.message();
    return false;
  }
  const std::string userJs = (fs::path(profileDir) / "user.js").string();
  std::string old;
  if (std::ifstream in(userJs); in) old.assign(std::istreambuf_iterator<char>(in), {});
  if (!WriteFile(userJs, WithExtensionPrefs(old))) {
    *reason = "cannot write " + userJs;
    return false;
  }
  return true;
}

}  // namespace browserhost
