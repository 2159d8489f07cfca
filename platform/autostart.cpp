#include "platform/autostart.h"

#include <cstring>

#include "platform/atomic_file_writer.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"

namespace platform {

std::string AutoStartEntryPath() {
  std::string config = UserConfigFolder();
  return config.empty() ? std::string() : config + "autostart/tamborel.desktop";
}

std::string AutoStartExecLine(const std::string& program_path) {
  // Desktop entries split Exec at blanks and give meaning to some characters,
  // so such a path is quoted; inside quotes " ` $ \ take a backslash, and
  // every backslash is doubled once more by the string escape of the file.
  // '%' starts a field code and is written "%%".
  static const char kReserved[] = " \t\"'\\><~|&;$*?#()`%";
  bool quote = false;
  for (char c : program_path) {
    if (std::strchr(kReserved, c)) quote = true;
  }
  std::string out;
  if (quote) out += '"';
  for (char c : program_path) {
    if (c == '%') {
      out += "%%";
    } else if (quote && (c == '"' || c == '`' || c == '$')) {
      out += "\\\\";
      out += c;
    } else if (c == '\\') {
      out += "\\\\\\\\";
    } else {
      out += c;
    }
  }
  if (quote) out += '"';
  return out + " -min";
}

bool SetAutoStart(bool on, const std::string& program_path) {
  std::string path = AutoStartEntryPath();
  if (path.empty()) return false;
  if (!on) return DeleteFile(path);
  if (program_path.empty() || program_path.find_first_of("\r\n") != std::string::npos) return false;
  if (!CreateFolders(path.substr(0, path.rfind(kPathSeparator) + 1))) return false;
  std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Tamborel\n"
      "Exec=" + AutoStartExecLine(program_path) + "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  AtomicFileWriter writer;
  return writer.Begin(path) && writer.Write(entry.data(), entry.size()) && writer.Commit();
}

}  // namespace platform
