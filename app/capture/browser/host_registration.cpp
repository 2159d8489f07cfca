#include "app/capture/browser/host_registration.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file_writer.h"
#include "platform/user_folders.h"

namespace browserhost {

namespace {

std::string Manifest(const std::string& hostPath, const char* allowedKey, const std::string& allowed) {
  QJsonObject o;
  o.insert("name", kHostName);
  o.insert("description", "Hands videos played in the browser to Tamborel");
  o.insert("path", QString::fromStdString(hostPath));
  o.insert("type", "stdio");
  o.insert(QLatin1String(allowedKey), QJsonArray{QString::fromStdString(allowed)});
  return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

std::string ReadAll(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

bool WriteIfChanged(const std::string& path, const std::string& text) {
  if (ReadAll(path) == text) return true;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  platform::AtomicFileWriter writer;
  return writer.Begin(path) && writer.Write(text.data(), text.size()) && writer.Commit();
}

}  // namespace

std::string ChromiumHostManifest(const std::string& hostPath) {
  return Manifest(hostPath, "allowed_origins", std::string("chrome-extension://") + kChromiumExtensionId + "/");
}

std::string FirefoxHostManifest(const std::string& hostPath) {
  return Manifest(hostPath, "allowed_extensions", kFirefoxExtensionId);
}

std::vector<ManifestPlace> HostManifestPlaces(const std::string& home, const std::string& configHome) {
  const std::string file = std::string(kHostName) + ".json";
  std::vector<ManifestPlace> places = {
      {configHome + "chromium/NativeMessagingHosts/" + file, false},
      {home + ".mozilla/native-messaging-hosts/" + file, true},
  };
  std::error_code ec;
  if (std::filesystem::is_directory(configHome + "google-chrome", ec))
    places.push_back({configHome + "google-chrome/NativeMessagingHosts/" + file, false});
  return places;
}

bool RegisterNativeHost(const std::string& hostPath, const std::string& home, const std::string& configHome,
                        std::string* failedPath) {
  bool ok = true;
  for (const ManifestPlace& place : HostManifestPlaces(home, configHome)) {
    const std::string text = place.firefox ? FirefoxHostManifest(hostPath) : ChromiumHostManifest(hostPath);
    if (!WriteIfChanged(place.path, text) && ok) {
      ok = false;
      if (failedPath) *failedPath = place.path;
    }
  }
  return ok;
}

bool RegisterNativeHostForUser(const std::string& hostPath, std::string* failedPath) {
  const std::string home = platform::HomeFolder();
  const std::string config = platform::UserConfigFolder();
  if (home.empty() || config.empty()) {
    if (failedPath) *failedPath = "(no home folder)";
    return false;
  }
  return RegisterNativeHost(hostPath, home, config, failedPath);
}

}  // namespace browserhost
