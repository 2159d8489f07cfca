#include "app/capture/monitor_bridge.h"

#include <dlfcn.h>

#include "app/capture/monitor_map.h"
#include "platform/message_box.h"

namespace capture {

void MonitorBridge::Create(const std::string& programDir) {
  TearDown();
  const std::string path = programDir + kCaptureLibraryName;
  library_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    platform::ShowMessageBox("Error", "Failed to load Varnoth.dll.", platform::MB_OK | platform::MB_ICONERROR);
    return;
  }
  if (!map_.Create(kMonitorMapName, MonitorMapLayout::kSize)) return;
  createdMap_ = true;
  ClearMonitorMap(map_.Data());
  WriteMonitorLibraryPath(map_.Data(), path);
}

void MonitorBridge::Start(uint32_t window, const Settings& settings) {
  if (!Active()) return;
  WriteMonitorWindow(map_.Data(), window);
  WriteMonitorFlag(map_.Data(), true);
  RefreshMonitorLists(map_.Data(), settings);
  setFilter_ = reinterpret_cast<FilterCall>(::dlsym(library_, "SetMonitorFilter"));
  unsetFilter_ = reinterpret_cast<FilterCall>(::dlsym(library_, "UnSetMonitorFilter"));
  if (setFilter_ && unsetFilter_) setFilter_();
}

void MonitorBridge::SetMonitoring(bool on) {
  if (Active()) WriteMonitorFlag(map_.Data(), on);
}

void MonitorBridge::RefreshLists(const Settings& settings) {
  if (Active()) RefreshMonitorLists(map_.Data(), settings);
}

void MonitorBridge::TearDown() {
  map_.Close();
  // A name left behind would tell capture tools that Tamborel still runs.
  if (createdMap_) platform::SharedMemory::Unlink(kMonitorMapName);
  createdMap_ = false;
  if (unsetFilter_) unsetFilter_();
  setFilter_ = unsetFilter_ = nullptr;
  if (library_) ::dlclose(library_);
  library_ = nullptr;
}

}  // namespace capture
