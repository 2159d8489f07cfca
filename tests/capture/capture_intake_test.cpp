#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/capture/capture_block.h"
#include "app/capture/capture_intake.h"
#include "app/capture/capture_messages.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "platform/sound_player.h"
#include "platform/window_services.h"
#include "rtmp/stream_address.h"
#include "tests/support/sandbox.h"

namespace {

using capture::CaptureFields;

struct Posted {
  uint32_t msg;
  platform::MessageParam w, l;
  bool operator==(const Posted&) const = default;
};

struct PostRecorder : platform::WindowServices {
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, platform::MessageParam w, platform::MessageParam l) override { posted.push_back({msg, w, l}); }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}
  std::vector<Posted> posted;
};

struct FakePopups : capture::CapturePopups {
  bool IsOnScreen(const std::string& address) const override {
    return std::find(onScreen.begin(), onScreen.end(), address) != onScreen.end();
  }
  void Queue(const capture::PopupRequest& r) override { queued.push_back(r); }
  void RemoveWaiting(int32_t id) override { removed.push_back(id); }
  std::vector<std::string> onScreen;
  std::vector<capture::PopupRequest> queued;
  std::vector<int32_t> removed;
};

struct FakeSound : platform::SoundPlayer {
  bool PlaySync(const std::string& path) override {
    played.push_back(path);
    return true;
  }
  std::vector<std::string> played;
};

struct FakeDialog : NewDownloadDialog {
  bool Show(const TaskRequest* incoming, TaskRequest& result) override {
    ++shown;
    if (incoming) result = *incoming;
    if (result.SaveDir.empty()) result.SaveDir = folder;
    return accept;
  }
  bool accept = false;
  int shown = 0;
  std::string folder;
};

struct FakeRunner : TaskRunnerHooks {
  void RefreshViews() override {}
  void StartTask(int32_t taskIndex, uint8_t startFlag) override { started.push_back({taskIndex, startFlag}); }
  std::vector<std::pair<int32_t, uint8_t>> started;
};

struct FakeAsker : AskingWindow {
  void SendTaskAdded() override { ++added; }
  int added = 0;
};

class CaptureIntakeTest : public ::testing::Test {
 protected:
  CaptureIntakeTest() {
    settings.SavePath = sandbox.dir();
    settings.CaptureSound = "/prog/sound/capture.wav";
    settings.ShowTaskWnd = 0;
    dialog.folder = sandbox.dir();
    addTask.newDownload = &dialog;
    addTask.runner = &runner;
    addTask.splitStreamAddress = SplitStreamTaskAddress;
    addTask.tempNameSeed = [] { return 42u; };
    capture::CaptureIntakeServices s;
    s.model = &model;
    s.settings = &settings;
    s.addTaskServices = &addTask;
    s.frame = &frame;
    s.mainWindow = 0xABCD;
    s.sound = &sound;
    s.popups = &popups;
    s.now = [] {
      capture::CaptureTime t;
      t.year = 2026;
      t.hour = 9;
      return t;
    };
    s.readBlock = [this](uint32_t number, uint8_t* out) {
      auto it = blocks.find(number);
      if (it == blocks.end()) return false;
      capture::WriteCaptureBlock(it->second, out);
      return true;
    };
    intake = std::make_unique<capture::CaptureIntake>(s);
  }

  static CaptureFields Http(const std::string& target) {
    CaptureFields f;
    f.requestLine = "GET " + target + " HTTP/1.1";
    f.hostLine = "Host: video.example";
    f.refererLine = "Referer: http://page.example/";
    f.userAgentLine = "User-Agent: UA/1";
    f.cookie = "c=1";
    f.pattern = "*.flv";
    return f;
  }

  void Capture(uint32_t number, const CaptureFields& f) {
    blocks[number] = f;
    intake->OnCaptured(number);
  }

  testsupport::Sandbox sandbox;
  Settings settings;
  DataModel model;
  FakeDialog dialog;
  FakeRunner runner;
  AddTaskServices addTask;
  PostRecorder frame;
  FakeSound sound;
  FakePopups popups;
  std::map<uint32_t, CaptureFields> blocks;
  std::unique_ptr<capture::CaptureIntake> intake;
};

TEST_F(CaptureIntakeTest, CaptureBecomesRecordSoundAndPopupRequest) {
  Capture(0x10, Http("/v/clip.flv"));
  ASSERT_EQ(intake->History().size(), 1u);
  const capture::CaptureRecord& r = intake->History()[0];
  EXPECT_EQ(r.id, 1);
  EXPECT_EQ(r.address, "http://video.example/v/clip.flv");
  EXPECT_EQ(r.referer, "http://page.example/");
  EXPECT_EQ(r.userAgent, "UA/1");
  EXPECT_EQ(r.time.year, 2026);
  EXPECT_FALSE(r.thumbnail);
  EXPECT_EQ(sound.played, (std::vector<std::string>{"/prog/sound/capture.wav"}));
  ASSERT_EQ(popups.queued.size(), 1u);
  EXPECT_EQ(popups.queued[0].id, 1);
  EXPECT_EQ(popups.queued[0].window, 0xABCDu);
  EXPECT_EQ(popups.queued[0].kind, 1);
  EXPECT_EQ(popups.queued[0].address, r.address);
  EXPECT_EQ(popups.queued[0].pattern, "*.flv");
  EXPECT_TRUE(frame.posted.empty());

  // A block that is gone leaves no trace and uses no identifier.
  intake->OnCaptured(0x99);
  EXPECT_EQ(intake->LastCaptureId(), 1);
}

TEST_F(CaptureIntakeTest, AnAddressOnScreenIsDroppedButItsIdentifierIsUsed) {
  settings.PlaySound = 0;
  Capture(1, Http("/a.flv"));
  popups.onScreen = {"http://video.example/a.flv"};
  Capture(2, Http("/a.flv"));
  EXPECT_EQ(intake->History().size(), 1u);
  EXPECT_EQ(popups.queued.size(), 1u);
  // Case matters, and once the popup is gone the same address is offered again.
  Capture(3, Http("/A.flv"));
  popups.onScreen.clear();
  Capture(4, Http("/a.flv"));
  ASSERT_EQ(intake->History().size(), 3u);
  EXPECT_EQ(intake->History()[1].id, 3);
  EXPECT_EQ(intake->History()[2].id, 4);
  EXPECT_EQ(popups.queued.size(), 3u);
  EXPECT_TRUE(sound.played.empty());
}

TEST_F(CaptureIntakeTest, WithPopupsOffACaptureBecomesATaskAtOnce) {
  settings.ShowCapturePopWnd = 0;
  CaptureFields rtmp;
  rtmp.rtmpHost = "fms.example.com:1936";
  rtmp.rtmpApp = "vod";
  rtmp.rtmpPlayPath = "clip";
  rtmp.cookie = "k=v";
  Capture(7, rtmp);
  ASSERT_EQ(frame.posted, (std::vector<Posted>{{capture::kUmCaptureAdd, 0, 1}}));
  EXPECT_TRUE(popups.queued.empty());

  EXPECT_TRUE(intake->OnCaptureAdd(nullptr, 1));
  ASSERT_EQ(model.tasks.size(), 1u);
  const DataRecord& t = model.tasks[0];
  EXPECT_EQ(t.URL, "rtmp://fms.example.com:1936/vod/clip");
  EXPECT_EQ(t.SaveDir, sandbox.dir());
  EXPECT_EQ(t.RTMPHost, "fms.example.com:1936");
  EXPECT_EQ(t.RTMPApp, "vod");
  EXPECT_EQ(t.RTMPPlayPath, "clip");
  EXPECT_EQ(t.Cookie, "k=v");
  EXPECT_EQ(t.FileName.substr(t.FileName.size() - 4), ".flv");
  EXPECT_EQ(runner.started, (std::vector<std::pair<int32_t, uint8_t>>{{t.TaskIndex, 1}}));
  EXPECT_TRUE(intake->History().empty());

  // Gone, negative or unknown identifiers add nothing.
  for (int32_t id : {1, -1, 55}) EXPECT_FALSE(intake->OnCaptureAdd(nullptr, id));
  EXPECT_EQ(model.tasks.size(), 1u);
}

TEST_F(CaptureIntakeTest, AskingWindowIsToldAndARefusedItemStays) {
  settings.PlaySound = 0;
  Capture(1, Http("/v/one.flv"));
  FakeAsker popup;
  EXPECT_TRUE(intake->OnCaptureAdd(&popup, 1));
  EXPECT_EQ(popup.added, 1);
  EXPECT_EQ(model.tasks.at(0).Referer, "http://page.example/");
  EXPECT_EQ(model.tasks.at(0).UserAgent, "UA/1");

  // The dialog is cancelled: the record can be tried again.
  settings.ShowTaskWnd = 1;
  Capture(2, Http("/v/two.flv"));
  EXPECT_FALSE(intake->OnCaptureAdd(nullptr, 2));
  EXPECT_EQ(dialog.shown, 1);
  ASSERT_EQ(intake->History().size(), 1u);
  dialog.accept = true;
  EXPECT_TRUE(intake->OnCaptureAdd(nullptr, 2));
  EXPECT_TRUE(intake->History().empty());
  EXPECT_EQ(model.tasks.size(), 2u);
}

TEST_F(CaptureIntakeTest, HistoryDownloadNamesTheFileAndClearsTheWaitingPopup) {
  settings.PlaySound = 0;
  sandbox.WriteFile("clip.flv", "taken");
  Capture(1, Http("/v/clip.flv"));
  EXPECT_TRUE(intake->OnHistoryDownload(1));
  ASSERT_EQ(model.tasks.size(), 1u);
  EXPECT_EQ(model.tasks[0].FileName, "clip[1].flv");
  EXPECT_EQ(model.tasks[0].SaveDir, sandbox.dir());
  EXPECT_TRUE(intake->History().empty());
  EXPECT_EQ(popups.removed, (std::vector<int32_t>{1}));

  // Nothing to add: only the waiting popup goes.
  EXPECT_FALSE(intake->OnHistoryDownload(9));
  CaptureFields empty;
  empty.requestLine = "";
  Capture(2, empty);
  intake->History().back().address.clear();
  EXPECT_FALSE(intake->OnHistoryDownload(2));
  EXPECT_EQ(popups.removed, (std::vector<int32_t>{1, 9, 2}));
  EXPECT_EQ(model.tasks.size(), 1u);
}

}  // namespace
