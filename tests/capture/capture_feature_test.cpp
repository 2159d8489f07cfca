#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/capture_feature.h"
#include "app/capture/capture_messages.h"
#include "app/capture/monitor_map.h"
#include "app/shell/frame_hooks.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "platform/shared_memory.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace {

struct Posted {
  uint32_t msg;
  platform::MessageParam w, l;
};

class QueueServices : public platform::WindowServices {
 public:
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, platform::MessageParam w, platform::MessageParam l) override {
    std::lock_guard<std::mutex> g(lock);
    posted.push_back({msg, w, l});
  }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}
  std::vector<Posted> Take() {
    std::lock_guard<std::mutex> g(lock);
    return std::exchange(posted, {});
  }
  std::mutex lock;
  std::vector<Posted> posted;
};

// The frame as the capture hooks see it, without a window.
class FakeFrame : public shell::FrameAccess {
 public:
  QWidget* Window() override { return nullptr; }
  DataModel& Model() override { return model; }
  Settings& AppSettings() override { return settings; }
  TaskRunner& Runner() override { std::abort(); }
  platform::WindowServices& Services() override { return services; }
  uint32_t WindowHandle() const override { return 0x51515151; }
  void RefreshViews() override { ++refreshes; }
  int32_t AddTask(const TaskRequest* request, AskingWindow* asker) override {
    added.push_back(*request);
    askers.push_back(asker);
    return static_cast<int32_t>(added.size());
  }
  void PreviewFile(const std::string&, int32_t) override {}
  void SetMonitoring(bool) override {}
  void ShowAndRaise() override {}
  void ShowTask(int32_t) override {}

  // Runs what was posted to the frame through the hooks, as its message loop would.
  void Dispatch(shell::FrameHooks& hooks) {
    for (const Posted& p : services.Take())
      if (auto it = hooks.messages.find(p.msg); it != hooks.messages.end()) it->second(*this, p.w, p.l);
  }

  DataModel model;
  Settings settings;
  QueueServices services;
  std::vector<TaskRequest> added;
  std::vector<AskingWindow*> askers;
  int refreshes = 0;
};

struct SilentSound : platform::SoundPlayer {
  bool PlaySync(const std::string& path) override {
    played.push_back(path);
    return true;
  }
  std::vector<std::string> played;
};

class CaptureFeatureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SharedMemory::Unlink(capture::kMonitorMapName);
    ASSERT_EQ(::symlink(VARNOTH, program.path("Varnoth.dll").c_str()), 0);
    ASSERT_EQ(::symlink(FAKE_OMBREL, program.path("Ombrel.dll").c_str()), 0);
  }
  capture::MonitorConfig Map() {
    platform::SharedMemory view;
    EXPECT_TRUE(view.Open(capture::kMonitorMapName, capture::MonitorMapLayout::kSize, false));
    return view.IsOpen() ? capture::ReadMonitorMap(view.Data()) : capture::MonitorConfig{};
  }
  testsupport::Sandbox program;
};

TEST_F(CaptureFeatureTest, MonitoringFollowsTheFrameFromStartToExit) {
  FakeFrame frame;
  frame.settings.Monitoring = 0;
  shell::FrameHooks hooks;
  int optionsSeen = 0;
  hooks.messages[capture::kUmOptionsClosed] = [&](shell::FrameAccess&, platform::MessageParam,
                                                  platform::MessageParam) { ++optionsSeen; };
  {
    capture::CaptureFeature feature(program.dir());
    feature.Install(hooks);
    hooks.startMonitor(frame);
    capture::MonitorConfig map = Map();
    EXPECT_EQ(map.window, 0x51515151u);
    EXPECT_EQ(map.libraryPath, program.path("Varnoth.dll"));
    EXPECT_FALSE(map.monitoring);  // Monitoring was off in the settings
    hooks.monitoringChanged(frame, true);
    EXPECT_TRUE(Map().monitoring);

    // Confirmed options refresh the lists; a hook that was there runs too.
    frame.settings.MediaTypeOn[16] = 1;
    hooks.messages[capture::kUmOptionsClosed](frame, 0, 0);
    EXPECT_EQ(Map().patterns.size(), 17u);
    EXPECT_EQ(optionsSeen, 1);

    hooks.stopMonitor(frame);
    EXPECT_FALSE(Map().monitoring);
  }
  platform::SharedMemory view;
  EXPECT_FALSE(view.Open(capture::kMonitorMapName, capture::MonitorMapLayout::kSize, false));
}

TEST_F(CaptureFeatureTest, ACaptureBecomesATaskThroughTheFramesAddTask) {
  FakeFrame frame;
  frame.settings.SavePath = program.dir();
  frame.settings.CaptureSound = "capture.wav";
  SilentSound sound;
  shell::FrameHooks hooks;
  capture::CaptureFeature feature(program.dir());
  feature.SetSoundPlayer(&sound);
  feature.Install(hooks);
  hooks.startMonitor(frame);

  const uint32_t number = 0x6B000000u + static_cast<uint32_t>(::getpid() & 0xFFFF);
  char hex[16];
  std::snprintf(hex, sizeof(hex), "%08X", number);
  ASSERT_EQ(testsupport::RunCommand({BLOCK_WRITER, hex, "request=GET /v/a.flv HTTP/1.1", "host=Host: h:8080",
                                     "referer=Referer: http://p/", "pattern=*.flv"}),
            0);
  hooks.messages[capture::kUmCaptured](frame, number, 0);
  ASSERT_EQ(feature.Intake()->History().size(), 1u);
  EXPECT_EQ(sound.played, (std::vector<std::string>{"capture.wav"}));
  frame.Dispatch(hooks);  // UM_CAPTURE_ADD, posted by the intake itself
  ASSERT_EQ(frame.added.size(), 1u);
  EXPECT_EQ(frame.added[0].URL, "http://h:8080/v/a.flv");
  EXPECT_EQ(frame.added[0].SaveDir, program.dir());
  EXPECT_EQ(frame.added[0].Referer, "http://p/");
  EXPECT_EQ(frame.added[0].ExtHint, "*.flv");
  EXPECT_TRUE(feature.Intake()->History().empty());

  // The history's own download path.
  ASSERT_EQ(testsupport::RunCommand({BLOCK_WRITER, hex, "rtmphost=fms", "rtmpapp=vod", "rtmppath=x"}), 0);
  feature.SetPopups(nullptr);
  hooks.messages[capture::kUmCaptured](frame, number, 0);
  const int32_t id = feature.Intake()->History().at(0).id;
  hooks.messages[capture::kUmHistoryDownload](frame, id, 0);
  ASSERT_EQ(frame.added.size(), 2u);
  EXPECT_EQ(frame.added[1].URL, "rtmp://fms/vod/x");
  EXPECT_EQ(frame.added[1].RTMPHost, "");  // AddTask splits the address itself
  hooks.releaseCapture(frame);
  EXPECT_TRUE(feature.Intake()->History().empty());
}

// Popups that recognise one parameter value as their own.
struct VouchingPopups : capture::CapturePopups, AskingWindow {
  static constexpr platform::MessageParam kMine = 0x7700;
  bool IsOnScreen(const std::string&) const override { return false; }
  void Queue(const capture::PopupRequest& r) override { queued.push_back(r.id); }
  void RemoveWaiting(int32_t) override {}
  AskingWindow* VouchedAsker(intptr_t param) const override {
    return param == kMine ? const_cast<VouchingPopups*>(this) : nullptr;
  }
  void SendTaskAdded() override {}
  std::vector<int32_t> queued;
};

TEST_F(CaptureFeatureTest, PopupRequestsNameTheirRecordAndOnlyTheirOwnPopupAsAsker) {
  FakeFrame frame;
  frame.settings.PlaySound = 0;
  shell::FrameHooks hooks;
  capture::CaptureFeature feature(program.dir());
  VouchingPopups popups;
  feature.SetPopups(&popups);
  feature.Install(hooks);
  hooks.startMonitor(frame);

  const uint32_t number = 0x6C000000u + static_cast<uint32_t>(::getpid() & 0xFFFF);
  char hex[16];
  std::snprintf(hex, sizeof(hex), "%08X", number);
  for (const char* path : {"request=GET /v/a.flv HTTP/1.1", "request=GET /v/b.flv HTTP/1.1"}) {
    ASSERT_EQ(testsupport::RunCommand({BLOCK_WRITER, hex, path, "host=Host: h", "pattern=*.flv"}), 0);
    hooks.messages[capture::kUmCaptured](frame, number, 0);
  }
  ASSERT_EQ(popups.queued.size(), 2u);
  EXPECT_TRUE(frame.services.Take().empty());  // offered, not added

  // "Download again" and "Check" find the task through the record's address.
  EXPECT_EQ(hooks.captureAddress(frame, popups.queued[1]), "http://h/v/b.flv");
  EXPECT_EQ(hooks.captureAddress(frame, 999), "");

  // A value no popup claims is never taken for a window.
  hooks.messages[capture::kUmCaptureAdd](frame, static_cast<platform::MessageParam>(0xDEADBEEF), popups.queued[0]);
  hooks.messages[capture::kUmCaptureAdd](frame, VouchingPopups::kMine, popups.queued[1]);
  ASSERT_EQ(frame.added.size(), 2u);
  EXPECT_EQ(frame.added[0].URL, "http://h/v/a.flv");
  EXPECT_EQ(frame.askers, (std::vector<AskingWindow*>{nullptr, &popups}));
  EXPECT_TRUE(feature.Intake()->History().empty());
  feature.SetPopups(nullptr);
}

TEST_F(CaptureFeatureTest, FinishedTasksGetTheirMediaInformation) {
  FakeFrame frame;
  frame.model.tasks.resize(1);
  DataRecord& task = frame.model.tasks[0];
  task.TaskIndex = 3;
  task.SaveDir = program.dir();
  task.FileName = "done.flv";
  program.WriteFile("done.flv", "320 240 61500 0 1");
  shell::FrameHooks hooks;
  capture::CaptureFeature feature(program.dir());
  feature.Install(hooks);
  hooks.startMediaInfo(frame);
  hooks.queueMediaInfo(frame, 3);
  hooks.queueMediaInfo(frame, 99);  // no such task: nothing queued

  for (int i = 0; i < 100 && task.Width == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    frame.Dispatch(hooks);
  }
  hooks.stopMediaInfo(frame);
  EXPECT_EQ(task.Duration, "00:01:01");
  EXPECT_EQ(task.Width, 320);
  EXPECT_EQ(task.Height, 240);
}

}  // namespace
