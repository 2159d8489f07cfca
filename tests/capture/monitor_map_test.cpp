#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "app/capture/fixed_field.h"
#include "app/capture/monitor_map.h"
#include "core/settings.h"
#include "platform/shared_memory.h"

namespace {

using capture::MonitorMapLayout;
using L = capture::MonitorMapLayout;

struct alignas(8) MapBytes {
  uint8_t bytes[L::kSize];
};

std::string Slot(const uint8_t* map, size_t base, size_t slot, size_t index) {
  return std::string(reinterpret_cast<const char*>(map + base + slot * index), slot);
}

std::string Padded(const std::string& text, size_t size) { return text + std::string(size - text.size(), '\0'); }

TEST(MonitorMap, BrowserSlotsTakeTheFirstTenMonitoredNamesTrimmedAndCut) {
  Settings settings;
  settings.Browsers.clear();
  for (int i = 0; i < 11; ++i) settings.Browsers.push_back({"b" + std::to_string(i) + ".exe", 1});
  settings.Browsers.insert(settings.Browsers.begin() + 1, {"skipped.exe", 0});
  settings.Browsers[0].Name = "  firefox.exe\t";
  settings.Browsers[2].Name = std::string(35, 'x');

  MapBytes m;
  std::memset(m.bytes, 0xEE, sizeof(m.bytes));
  capture::ClearMonitorMap(m.bytes);
  capture::RefreshMonitorLists(m.bytes, settings);

  EXPECT_EQ(capture::ReadU32(m.bytes + L::kBrowserCount), 10u);
  EXPECT_EQ(Slot(m.bytes, L::kBrowsers, 30, 0), Padded("firefox.exe", 30));
  EXPECT_EQ(Slot(m.bytes, L::kBrowsers, 30, 1), Padded(std::string(29, 'x'), 30));
  EXPECT_EQ(Slot(m.bytes, L::kBrowsers, 30, 9), Padded("b9.exe", 30));  // b10.exe is the eleventh
  const capture::MonitorConfig c = capture::ReadMonitorMap(m.bytes);
  ASSERT_EQ(c.browsers.size(), 10u);
  EXPECT_EQ(c.browsers[2], "b2.exe");
}

TEST(MonitorMap, PatternSlotsFollowTheTypeSwitchesInOrder) {
  const struct {
    const char* name;
    int on;           // how many switches are on, from index 0
    std::string first;  // pattern of type 0
    std::vector<std::string> expected;
  } cases[] = {
      {"all seventeen", 17, "*.flv", {}},
      {"the default sixteen", 16, "*.flv", {}},
      {"a long pattern cut to nine", 1, " *.abcdefghijkl ", {"*.abcdefg"}},
      {"none", 0, "*.flv", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Settings settings;
    for (int i = 0; i < kMediaTypeCount; ++i) settings.MediaTypeOn[i] = i < c.on;
    settings.MediaTypes[0].Pattern = c.first;
    std::vector<std::string> expected = c.expected;
    if (expected.empty())
      for (int i = 0; i < c.on; ++i) expected.push_back(settings.MediaTypes[static_cast<size_t>(i)].Pattern);

    MapBytes m;
    capture::ClearMonitorMap(m.bytes);
    capture::RefreshMonitorLists(m.bytes, settings);
    ASSERT_EQ(capture::ReadU32(m.bytes + L::kPatternCount), expected.size());
    for (size_t i = 0; i < 20; ++i)
      EXPECT_EQ(Slot(m.bytes, L::kPatterns, 10, i), Padded(i < expected.size() ? expected[i] : "", 10)) << i;
  }
  // The seventeen built-in patterns, in their order.
  Settings settings;
  EXPECT_EQ(settings.MediaTypes.size(), 17u);
  EXPECT_EQ(settings.MediaTypes[16].Pattern, "*.swf");
}

TEST(MonitorMap, FixedFieldsAndFlag) {
  MapBytes m;
  capture::ClearMonitorMap(m.bytes);
  EXPECT_TRUE(capture::WriteMonitorLibraryPath(m.bytes, "/opt/tamborel/Varnoth.dll"));
  capture::WriteMonitorWindow(m.bytes, 0x12345678);
  capture::WriteMonitorFlag(m.bytes, true);
  EXPECT_EQ(std::memcmp(m.bytes + 260, "\x78\x56\x34\x12", 4), 0);
  EXPECT_EQ(m.bytes[772], 1);
  EXPECT_EQ(m.bytes[773] | m.bytes[774] | m.bytes[775], 0);
  capture::WriteMonitorFlag(m.bytes, false);
  EXPECT_EQ(m.bytes[772], 0);

  // A path longer than the field keeps its terminator in byte 259.
  EXPECT_FALSE(capture::WriteMonitorLibraryPath(m.bytes, std::string(300, 'p')));
  EXPECT_EQ(m.bytes[258], 'p');
  EXPECT_EQ(m.bytes[259], 0);
}

TEST(MonitorMap, ReaderClampsCountsAndUnterminatedSlots) {
  MapBytes m;
  std::memset(m.bytes, 'z', sizeof(m.bytes));
  capture::WriteU32(m.bytes + L::kBrowserCount, 0xFFFFFFFF);
  capture::WriteU32(m.bytes + L::kPatternCount, 21);
  const capture::MonitorConfig c = capture::ReadMonitorMap(m.bytes);
  EXPECT_EQ(c.libraryPath, std::string(260, 'z'));
  ASSERT_EQ(c.browsers.size(), 10u);
  EXPECT_EQ(c.browsers[9], std::string(30, 'z'));
  ASSERT_EQ(c.patterns.size(), 20u);
  EXPECT_EQ(c.patterns[19], std::string(10, 'z'));
}

// Every state the refresh passes through, from a full map to a shorter one
// and back: a count never covers a slot that is not filled yet.
TEST(MonitorMap, EveryStateOfARefreshCountsOnlyFilledSlots) {
  auto filledPrefix = [](const uint8_t* m, size_t base, size_t slot, size_t slots) {
    uint32_t n = 0;
    while (n < slots && m[base + n * slot] != 0) ++n;
    return n;
  };
  Settings full;
  for (int i = 0; i < kMediaTypeCount; ++i) full.MediaTypeOn[i] = 1;
  full.Browsers.assign(12, {"browser.exe", 1});
  Settings small;
  small.Browsers.resize(2);
  for (int i = 0; i < kMediaTypeCount; ++i) small.MediaTypeOn[i] = i % 5 == 0;

  MapBytes m;
  capture::ClearMonitorMap(m.bytes);
  int states = 0;
  for (const Settings* s : {&full, &small, &full}) {
    capture::RefreshMonitorLists(m.bytes, *s, [&] {
      ++states;
      const capture::MonitorConfig c = capture::ReadMonitorMap(m.bytes);
      ASSERT_LE(c.browsers.size(), filledPrefix(m.bytes, L::kBrowsers, 30, 10)) << "state " << states;
      ASSERT_LE(c.patterns.size(), filledPrefix(m.bytes, L::kPatterns, 10, 20)) << "state " << states;
    });
  }
  EXPECT_GT(states, 60);
  EXPECT_EQ(capture::ReadMonitorMap(m.bytes).browsers.size(), 10u);
}

// Another process reads the map while this one refreshes the lists over and
// over with changing lengths. The first slot of each list names the refresh,
// so a sample that spans two refreshes is recognised and skipped; in every
// other sample the last counted slot is filled. The reader looks at that slot
// right after the count, where a slot written after its count would show.
TEST(MonitorMap, ReaderInAnotherProcessNeverSeesACountBeyondItsSlots) {
  const std::string name = "tamborel-test-map-" + std::to_string(::getpid());
  platform::SharedMemory map;
  ASSERT_TRUE(map.Create(name, L::kSize));
  capture::ClearMonitorMap(map.Data());

  const pid_t reader = ::fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    platform::SharedMemory view;
    if (!view.Open(name, L::kSize, false)) ::_exit(4);
    const uint8_t* p = view.Data();
    auto lastFilled = [p](size_t countAt, size_t slots, size_t base, size_t slot) {
      const uint32_t c = __atomic_load_n(reinterpret_cast<const uint32_t*>(p + countAt), __ATOMIC_ACQUIRE);
      if (c == 0) return 1;
      if (c > slots) return 0;
      return __atomic_load_n(p + base + (c - 1) * slot, __ATOMIC_ACQUIRE) != 0 ? 1 : 0;
    };
    long consistent = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (std::chrono::steady_clock::now() < end) {
      for (int i = 0; i < 1000; ++i) {
        uint8_t b0[30], p0[10], b1[30], p1[10];
        std::memcpy(b0, p + L::kBrowsers, 30);
        std::memcpy(p0, p + L::kPatterns, 10);
        const int browsersOk = lastFilled(L::kBrowserCount, 10, L::kBrowsers, 30);
        const int patternsOk = lastFilled(L::kPatternCount, 20, L::kPatterns, 10);
        std::atomic_thread_fence(std::memory_order_acquire);
        std::memcpy(b1, p + L::kBrowsers, 30);
        std::memcpy(p1, p + L::kPatterns, 10);
        if (b0[0] == 0 || p0[0] == 0 || std::memcmp(b0, b1, 30) != 0 || std::memcmp(p0, p1, 10) != 0) continue;
        ++consistent;
        if (!browsersOk || !patternsOk) ::_exit(1);
      }
    }
    ::_exit(consistent > 0 ? 0 : 3);
  }

  Settings settings;
  settings.Browsers.assign(10, {"browser", 1});
  int status = 0;
  for (long round = 0;; ++round) {
    settings.Browsers[0].Name = "r" + std::to_string(round);
    const int browsers = 2 + static_cast<int>(round % 9);
    for (int i = 1; i < 10; ++i) settings.Browsers[static_cast<size_t>(i)].Monitored = i < browsers;
    const int patterns = 2 + static_cast<int>(round % 16);
    for (int i = 0; i < kMediaTypeCount; ++i) settings.MediaTypeOn[i] = i < patterns;
    settings.MediaTypes[0].Pattern = "*." + std::to_string(round % 10000000);
    capture::RefreshMonitorLists(map.Data(), settings);
    if (round % 256 == 0 && ::waitpid(reader, &status, WNOHANG) == reader) break;
  }
  platform::SharedMemory::Unlink(name);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a count beyond its slots; 3: no consistent sample";
}

}  // namespace
