#include "app/capture/monitor_map.h"

#include <atomic>
#include <cstring>

#include "app/capture/fixed_field.h"
#include "core/ansi_text.h"
#include "core/settings.h"

namespace capture {

namespace {

using L = MonitorMapLayout;

// The count is the last write of each slot: the slot's bytes must be in
// memory before another process can see the count that covers them.
void PublishCount(uint8_t* p, uint32_t count) {
  std::atomic_thread_fence(std::memory_order_release);
  __atomic_store_n(reinterpret_cast<uint32_t*>(p), count, __ATOMIC_RELEASE);
}

uint32_t TakeCount(const uint8_t* p) {
  uint32_t v = __atomic_load_n(reinterpret_cast<const uint32_t*>(p), __ATOMIC_ACQUIRE);
  std::atomic_thread_fence(std::memory_order_acquire);
  return v;
}

}  // namespace

void ClearMonitorMap(uint8_t* map) { std::memset(map, 0, L::kSize); }

bool WriteMonitorLibraryPath(uint8_t* map, const std::string& path) {
  return WriteField(map + L::kLibraryPath, L::kLibraryPathSize, path);
}

void WriteMonitorWindow(uint8_t* map, uint32_t window) { WriteU32(map + L::kWindow, window); }

void WriteMonitorFlag(uint8_t* map, bool on) {
  __atomic_store_n(map + L::kFlag, static_cast<uint8_t>(on ? 1 : 0), __ATOMIC_RELEASE);
}

void RefreshMonitorLists(uint8_t* map, const Settings& settings, const std::function<void()>& afterEachWrite) {
  auto step = [&] {
    if (afterEachWrite) afterEachWrite();
  };
  PublishCount(map + L::kBrowserCount, 0);
  step();
  PublishCount(map + L::kPatternCount, 0);
  step();
  std::atomic_thread_fence(std::memory_order_release);
  std::memset(map + L::kBrowsers, 0, L::kBrowserSlot * L::kBrowserSlots);
  step();
  std::memset(map + L::kPatterns, 0, L::kPatternSlot * L::kPatternSlots);
  step();

  uint32_t browsers = 0;
  for (const BrowserEntry& b : settings.Browsers) {
    if (browsers == L::kBrowserSlots) break;
    if (!b.Monitored) continue;
    WriteField(map + L::kBrowsers + browsers * L::kBrowserSlot, L::kBrowserSlot, TrimBlanks(b.Name));
    step();
    PublishCount(map + L::kBrowserCount, ++browsers);
    step();
  }

  uint32_t patterns = 0;
  for (int i = 0; i < kMediaTypeCount && i < static_cast<int>(settings.MediaTypes.size()); ++i) {
    if (patterns == L::kPatternSlots) break;
    if (!settings.MediaTypeOn[i]) continue;
    WriteField(map + L::kPatterns + patterns * L::kPatternSlot, L::kPatternSlot,
               TrimBlanks(settings.MediaTypes[static_cast<size_t>(i)].Pattern));
    step();
    PublishCount(map + L::kPatternCount, ++patterns);
    step();
  }
}

MonitorConfig ReadMonitorMap(const uint8_t* map) {
  MonitorConfig c;
  c.libraryPath = FieldText(map + L::kLibraryPath, L::kLibraryPathSize);
  c.window = ReadU32(map + L::kWindow);
  uint32_t browsers = TakeCount(map + L::kBrowserCount);
  if (browsers > L::kBrowserSlots) browsers = L::kBrowserSlots;
  for (uint32_t i = 0; i < browsers; ++i)
    c.browsers.push_back(FieldText(map + L::kBrowsers + i * L::kBrowserSlot, L::kBrowserSlot));
  uint32_t patterns = TakeCount(map + L::kPatternCount);
  if (patterns > L::kPatternSlots) patterns = L::kPatternSlots;
  for (uint32_t i = 0; i < patterns; ++i)
    c.patterns.push_back(FieldText(map + L::kPatterns + i * L::kPatternSlot, L::kPatternSlot));
  c.monitoring = __atomic_load_n(map + L::kFlag, __ATOMIC_ACQUIRE) != 0;
  return c;
}

}  // namespace capture
