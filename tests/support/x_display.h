// A private X server for end-to-end window tests: Xvfb on a free display
// number, optionally with a tray (trayer), both stopped when the object goes.
// DISPLAY is set for this process (and so for its children) while it runs.
#pragma once

#include <optional>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scoped_env.h"

namespace testsupport {

class XDisplay {
 public:
  XDisplay() = default;
  ~XDisplay() { Stop(); }
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // True when Xvfb (and trayer, xdotool, import) are installed.
  static bool Available();
  bool Start(int width, int height, bool withTray);
  void Stop();
  const std::string& name() const { return name_; }

  // Window ids of visible windows whose title matches the pattern.
  std::string VisibleWindows(const std::string& titlePattern) const;
  // Waits until such a window is visible; its id, or empty on time-out.
  std::string WaitForWindow(const std::string& titlePattern, int timeoutMs = 20000) const;
  // The whole screen as a PNG file.
  bool Screenshot(const std::string& path) const;

  // Where a window is on the screen, in device pixels.
  struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
  };
  std::optional<Rect> Geometry(const std::string& window) const;
  // A left click at a screen position, in device pixels.
  bool Click(int x, int y) const;
  // `text` as a title pattern that matches exactly that text.
  static std::string ExactTitle(const std::string& text);

 private:
  std::string name_;
  ChildProcess server_;
  ChildProcess tray_;
  ScopedEnv* display_ = nullptr;
};

}  // namespace testsupport
