// QUORLIN_MONITOR_MAP: what Tamborel tells the capture library (776 bytes):
// the library's path, the window to post captures to, the monitored browsers
// and file-name patterns, and the monitoring flag. Tamborel writes it; the
// capture side reads it from other processes without a lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Settings;

namespace capture {

inline constexpr char kMonitorMapName[] = "QUORLIN_MONITOR_MAP";

struct MonitorMapLayout {
  static constexpr size_t kSize = 776;
  static constexpr size_t kLibraryPath = 0, kLibraryPathSize = 260;
  static constexpr size_t kWindow = 260;
  static constexpr size_t kBrowsers = 264, kBrowserSlot = 30, kBrowserSlots = 10;
  static constexpr size_t kBrowserCount = 564;
  static constexpr size_t kPatterns = 568, kPatternSlot = 10, kPatternSlots = 20;
  static constexpr size_t kPatternCount = 768;
  static constexpr size_t kFlag = 772;
};

// Writers; `map` holds MonitorMapLayout::kSize bytes, 4-byte aligned.
void ClearMonitorMap(uint8_t* map);
// At most 259 characters; false when the path was cut.
bool WriteMonitorLibraryPath(uint8_t* map, const std::string& path);
void WriteMonitorWindow(uint8_t* map, uint32_t window);
void WriteMonitorFlag(uint8_t* map, bool on);
// Rewrites both lists from the settings: counts to 0, slots cleared, then each
// slot followed by its count, so a reader never finds a count beyond the
// slots already filled. `afterEachWrite` lets a check look at every state
// another process could see.
void RefreshMonitorLists(uint8_t* map, const Settings& settings,
                         const std::function<void()>& afterEachWrite = {});

// What a reader takes from the map; counts beyond the slots are clamped and
// texts are cut at their slot's end.
struct MonitorConfig {
  std::string libraryPath;
  uint32_t window = 0;
  std::vector<std::string> browsers;
  std::vector<std::string> patterns;
  bool monitoring = false;
};
MonitorConfig ReadMonitorMap(const uint8_t* map);

}  // namespace capture
