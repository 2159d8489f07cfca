// Tamborel's side of the capture library: loads Varnoth.dll from the program
// folder, publishes the monitor map and switches monitoring on and off.
// Without the library or the block every operation does nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shared_memory.h"

class Settings;

namespace capture {

inline constexpr char kCaptureLibraryName[] = "Varnoth.dll";

class MonitorBridge {
 public:
  MonitorBridge() = default;
  ~MonitorBridge() { TearDown(); }
  MonitorBridge(const MonitorBridge&) = delete;
  MonitorBridge& operator=(const MonitorBridge&) = delete;

  // Loads the library from `programDir` (ending in the separator); a missing
  // library is reported with "Failed to load Varnoth.dll." and leaves the
  // bridge inactive. Then creates and zeroes the map with the library's path.
  void Create(const std::string& programDir);
  // Names the window, switches the flag on, fills the lists and starts the
  // library's filter when it has both entry points.
  void Start(uint32_t window, const Settings& settings);
  void SetMonitoring(bool on);
  void RefreshLists(const Settings& settings);
  void ClearFlag() { SetMonitoring(false); }
  // Removes the map, stops the filter and unloads the library.
  void TearDown();

  bool Active() const { return library_ != nullptr && map_.IsOpen(); }

 private:
  using FilterCall = void (*)();
  void* library_ = nullptr;
  FilterCall setFilter_ = nullptr;
  FilterCall unsetFilter_ = nullptr;
  platform::SharedMemory map_;
  bool createdMap_ = false;
};

}  // namespace capture
