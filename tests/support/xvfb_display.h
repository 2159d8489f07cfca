// A private X server for end-to-end window tests: Xvfb on a free display
// number, stopped when the object goes.
#pragma once

#include <string>

#include "tests/support/child_process.h"

namespace testsupport {

class XvfbDisplay {
 public:
  // Starts Xvfb with one screen of that size; display() is empty on failure.
  XvfbDisplay(int width, int height);
  ~XvfbDisplay() = default;

  // ":N", or empty when no server could be started.
  const std::string& display() const { return display_; }

 private:
  ChildProcess server_;
  std::string display_;
};

}  // namespace testsupport
