#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/capture/monitor_bridge.h"
#include "app/capture/monitor_map.h"
#include "core/settings.h"
#include "platform/message_box.h"
#include "platform/shared_memory.h"
#include "tests/support/sandbox.h"

namespace {

struct Box {
  std::string caption, text;
  uint32_t style;
};

class RecordingBoxes : public platform::MessageBoxSink {
 public:
  int Show(const std::string& caption, const std::string& text, uint32_t style) override {
    shown.push_back({caption, text, style});
    return platform::IDOK;
  }
  std::vector<Box> shown;
};

class MonitorBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMessageBoxSink(&boxes);
    platform::SharedMemory::Unlink(capture::kMonitorMapName);
  }
  void TearDown() override { platform::SetMessageBoxSink(nullptr); }

  capture::MonitorConfig ReadMap() {
    platform::SharedMemory view;
    EXPECT_TRUE(view.Open(capture::kMonitorMapName, capture::MonitorMapLayout::kSize, false));
    return view.IsOpen() ? capture::ReadMonitorMap(view.Data()) : capture::MonitorConfig{};
  }

  RecordingBoxes boxes;
};

TEST_F(MonitorBridgeTest, WithoutTheLibraryItSaysSoAndDoesNothing) {
  testsupport::Sandbox empty;
  capture::MonitorBridge bridge;
  bridge.Create(empty.dir());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "Error");
  EXPECT_EQ(boxes.shown[0].text, "Failed to load Varnoth.dll.");
  EXPECT_EQ(boxes.shown[0].style, platform::MB_OK | platform::MB_ICONERROR);
  EXPECT_FALSE(bridge.Active());

  Settings settings;
  bridge.Start(0x1234, settings);
  bridge.SetMonitoring(true);
  platform::SharedMemory view;
  EXPECT_FALSE(view.Open(capture::kMonitorMapName, capture::MonitorMapLayout::kSize, false));
}

TEST_F(MonitorBridgeTest, PublishesTheMapAndDrivesTheLibraryThroughItsLife) {
  const std::string programDir = std::filesystem::path(VARNOTH).parent_path().string() + "/";
  // The same library instance the bridge loads, to see its filter state.
  void* library = ::dlopen(VARNOTH, RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto filterSet = reinterpret_cast<int (*)()>(::dlsym(library, "MonitorFilterSet"));
  ASSERT_NE(filterSet, nullptr);

  Settings settings;
  {
    capture::MonitorBridge bridge;
    bridge.Create(programDir);
    ASSERT_TRUE(bridge.Active());
    EXPECT_TRUE(boxes.shown.empty());
    capture::MonitorConfig c = ReadMap();
    EXPECT_EQ(c.libraryPath, programDir + "Varnoth.dll");
    EXPECT_EQ(c.window, 0u);
    EXPECT_FALSE(c.monitoring);
    EXPECT_EQ(filterSet(), 0);

    bridge.Start(0xCAFE01, settings);
    c = ReadMap();
    EXPECT_EQ(c.window, 0xCAFE01u);
    EXPECT_TRUE(c.monitoring);
    EXPECT_EQ(c.browsers, (std::vector<std::string>{"iexplore.exe", "firefox.exe", "opera.exe", "maxthon.exe", "chromium"}));
    EXPECT_EQ(c.patterns.size(), 16u);
    EXPECT_EQ(filterSet(), 1);

    bridge.SetMonitoring(false);
    EXPECT_FALSE(ReadMap().monitoring);
    bridge.SetMonitoring(true);
    settings.Browsers[1].Monitored = 0;
    settings.MediaTypeOn[16] = 1;
    bridge.RefreshLists(settings);
    c = ReadMap();
    EXPECT_EQ(c.browsers, (std::vector<std::string>{"iexplore.exe", "opera.exe", "maxthon.exe", "chromium"}));
    EXPECT_EQ(c.patterns.size(), 17u);

    bridge.ClearFlag();
    EXPECT_FALSE(ReadMap().monitoring);
  }
  // Torn down with the frame: filter stopped, map gone.
  EXPECT_EQ(filterSet(), 0);
  platform::SharedMemory view;
  EXPECT_FALSE(view.Open(capture::kMonitorMapName, capture::MonitorMapLayout::kSize, false));
  ::dlclose(library);
}

}  // namespace
