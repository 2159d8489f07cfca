// A running Tamborel seen from outside, the way a capture program sees it:
// its monitor map, and its "Disable Monitor" command clicked on its X server.
#pragma once

#include <chrono>
#include <thread>

#include "app/capture/monitor_map.h"
#include "platform/message_port.h"
#include "platform/shared_memory.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace testsupport {

inline capture::MonitorConfig ReadRunningMonitorMap() {
  platform::SharedMemory view;
  if (!view.Open(capture::kMonitorMapName, capture::MonitorMapLayout::kSize, false)) return {};
  return capture::ReadMonitorMap(view.Data());
}

// A Tamborel has published its window and monitors.
inline bool TamborelMonitors() {
  const capture::MonitorConfig map = ReadRunningMonitorMap();
  return map.monitoring && map.window != 0 && platform::IsWindow(map.window);
}

// File, "Disable Monitor" with xdotool on $DISPLAY (the window sits at the
// top left of a screen without a window manager); true once the map says so.
inline bool SwitchMonitoringOffInWindow() {
  if (RunCommand({"xdotool", "mousemove", "20", "8", "click", "1"}) != 0) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  if (RunCommand({"xdotool", "mousemove", "80", "75", "click", "1"}) != 0) return false;
  return WaitUntil([] { return !ReadRunningMonitorMap().monitoring; }, 10);
}

}  // namespace testsupport
