// How the views hand files and folders to the desktop: start a program,
// open with the default application, show a file in the file manager.
// Tests record the calls instead.
#pragma once

#include <string>

class DesktopLauncher {
 public:
  virtual ~DesktopLauncher() = default;
  // Starts `program` with `argument` as its only argument; false when it could not start.
  virtual bool StartProgram(const std::string& program, const std::string& argument) = 0;
  // Opens a file or folder with the desktop's default application.
  virtual bool OpenWithDefault(const std::string& path) = 0;
  // Shows the file selected in the file manager (FileManager1.ShowItems over
  // D-Bus), else opens its folder.
  virtual bool ShowInFolder(const std::string& path) = 0;
  // Opens a web address with the desktop's browser.
  virtual bool OpenAddress(const std::string& address) = 0;
};

// The real desktop: QProcess, QDesktopServices and D-Bus.
class QtDesktopLauncher : public DesktopLauncher {
 public:
  bool StartProgram(const std::string& program, const std::string& argument) override;
  bool OpenWithDefault(const std::string& path) override;
  bool ShowInFolder(const std::string& path) override;
  bool OpenAddress(const std::string& address) override;
};
