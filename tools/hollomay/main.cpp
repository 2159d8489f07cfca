// Hollomay.exe: reads section FileName of Quessary.ini beside itself
// (DumpFile, DumpFileExt) and copies both files into the outbox,
// $XDG_DATA_HOME/Hollomay/outbox (~/.local/share/Hollomay/outbox), printing
// where each went. Exit code 0 when every named file was copied.
#include <cstdio>
#include <initializer_list>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "crashreport/crash_file_names.h"
#include "crashreport/ini_file.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"

namespace {

std::string OutboxFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string root;
  if (data && *data == '/') {
    root = data;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    root = std::string(home) + "/.local/share";
  }
  return root + "/Hollomay/outbox/";
}

}  // namespace

int main() {
  const std::string ini = platform::ExecutableDir() + "Quessary.ini";
  const std::string outbox = OutboxFolder();
  if (outbox.empty() || !platform::CreateFolders(outbox)) {
    std::fprintf(stderr, "Hollomay: no outbox folder\n");
    return 1;
  }
  int copied = 0;
  int failed = 0;
  for (const char* key : {"DumpFile", "DumpFileExt"}) {
    char path[faultwick::kMaxPath];
    if (!faultwick::ReadIniString(ini.c_str(), "FileName", key, path, sizeof path) || !*path) {
      std::fprintf(stderr, "Hollomay: %s has no %s\n", ini.c_str(), key);
      ++failed;
      continue;
    }
    std::filesystem::path from(path);
    std::filesystem::path to = std::filesystem::path(outbox) / from.filename();
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      std::fprintf(stderr, "Hollomay: cannot copy %s: %s\n", path, ec.message().c_str());
      ++failed;
      continue;
    }
    std::printf("Hollomay: copied %s to %s\n", path, to.c_str());
    ++copied;
  }
  std::fflush(stdout);
  return failed == 0 && copied > 0 ? 0 : 1;
}
