#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/monitor_map.h"
#include "platform/message_port.h"
#include "platform/shared_memory.h"
#include "tests/capture/running_tamborel.h"
#include "tests/capture/run_capture_tool.h"
#include "tests/support/capture_popup.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/wait_until.h"
#include "tests/support/x_display.h"

namespace {

namespace fs = std::filesystem;

using testsupport::RunCaptureTool;
using testsupport::ToolRun;

using testsupport::ClickPopupButton;
using testsupport::ReadRunningMonitorMap;
using testsupport::WaitUntil;
constexpr auto kDownload = testsupport::kPopupDownload;
constexpr auto kDownloadAgain = testsupport::kPopupDownloadAgain;
constexpr auto kCheck = testsupport::kPopupCheck;
constexpr auto kClose = testsupport::kPopupClose;

class CaptureEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::XDisplay::Available() || !testsupport::NginxPeer::Available())
      GTEST_SKIP() << "needs Xvfb, xdotool and nginx with its RTMP module";
    platform::SharedMemory::Unlink(capture::kMonitorMapName);
    saveDir = home.path("videos/");
    fs::create_directories(saveDir);
    fs::create_directories(home.path("config/Quorlin"));
    fs::create_directories(home.path("runtime"));
    fs::permissions(home.path("runtime"), fs::perms::owner_all, fs::perm_options::replace);
    // Tasks start without the new-download dialog; no tutorial in the way;
    // popups stay until a button closes them, however slow the machine.
    home.WriteFile("config/Quorlin/Tamborel.conf", "[GeneralOption]\nShowTaskWnd=0\nSavePath=" + saveDir +
                                                       "\n[GlobalStatus]\nShowTutorial=0\n"
                                                       "[PromptOption]\nClosePopWndWay=0\n");
    ASSERT_TRUE(x.Start(1280, 1024, false));
    // Sanitizer builds: what fontconfig, libdbus and the previews' sound
    // output (SDL, under libmpv) keep for the process's life is not a leak
    // of ours.
    home.WriteFile("lsan.supp", "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libSDL2-2.0.so\n");
    lsan = std::make_unique<testsupport::ScopedEnv>("LSAN_OPTIONS", ("suppressions=" + home.path("lsan.supp")).c_str());
  }

  // The screen, for a person to look at: build/screenshots/<name>[_<scale>].png,
  // the scale being QT_SCALE_FACTOR when the run sets it.
  void Screenshot(const std::string& name) {
    const std::string dir = std::string(TAMBOREL_BINARY_DIR) + "/screenshots/";
    fs::create_directories(dir);
    const char* scale = std::getenv("QT_SCALE_FACTOR");
    x.Screenshot(dir + name + (scale && *scale ? std::string("_") + scale : std::string()) + ".png");
  }

  std::string GrownPopup(const std::string& captionPattern) { return testsupport::GrownPopup(x, captionPattern); }
  bool ClickButton(const std::string& popup, testsupport::PopupButton button) {
    return ClickPopupButton(x, popup, button);
  }
  std::string VisibleCaptions() { return testsupport::VisibleCaptions(x); }
  bool PopupShows(const std::string& caption) { return testsupport::PopupShows(x, caption); }
  bool PopupGone(const std::string& popup) { return testsupport::PopupGone(x, popup); }

  bool StartTamborel() {
    testsupport::ScopedEnv qpa("QT_QPA_PLATFORM", "xcb");
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path("data").c_str());
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", home.path("config").c_str());
    testsupport::ScopedEnv homeDir("HOME", home.dir().c_str());
    testsupport::ScopedEnv trace("TAMBOREL_POPUP_TRACE", home.path("popups.trace").c_str());
    if (!tamborel.Start({TAMBOREL_PROGRAM}, home.path("tamborel.log"))) return false;
    return WaitUntil(testsupport::TamborelMonitors, 60);
  }

  std::vector<fs::path> SavedFiles(const std::string& extension) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(saveDir))
      if (e.path().extension() == extension) out.push_back(e.path());
    return out;
  }

  testsupport::Sandbox home;
  testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", nullptr};
  std::string saveDir;
  testsupport::XDisplay x;
  std::unique_ptr<testsupport::ScopedEnv> lsan;
  testsupport::ChildProcess tamborel;
};

TEST_F(CaptureEndToEnd, CapturedAddressesBecomeDownloadsAndRefusalsSayWhy) {
  testsupport::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", home.path("runtime").c_str());
  // The video server: one file over HTTP, one stream over RTMP.
  testsupport::Sandbox web;
  std::string video(300 * 1024, '\0');
  for (size_t i = 0; i < video.size(); ++i) video[i] = static_cast<char>(i * 131 + i / 977);
  web.WriteFile("clip.flv", video);
  testsupport::NginxPeer http, rtmp;
  ASSERT_TRUE(http.Start(web.dir()));
  ASSERT_TRUE(rtmp.Start());
  ASSERT_TRUE(testsupport::MakeTestFlv(rtmp.media_dir() + "stream.flv", 4, "flv", "libmp3lame"));

  EXPECT_EQ(RunCaptureTool({http.Url("/clip.flv")}).output, "tamborel-capture: no running Tamborel\n");
  ASSERT_TRUE(StartTamborel()) << testsupport::ReadWholeFile(home.path("tamborel.log"));

  // An http:// address of a monitored type: offered in a popup, whose
  // "Download" makes a task that downloads it.
  ToolRun run = RunCaptureTool({"--browser", "firefox.exe", "--referer", "http://page.example/", http.Url("/clip.flv")});
  ASSERT_EQ(run.code, 0) << run.output;
  std::string popup = GrownPopup(testsupport::XDisplay::ExactTitle("(FLV) " + http.Url("/clip.flv")));
  ASSERT_FALSE(popup.empty()) << testsupport::ReadWholeFile(home.path("tamborel.log"));
  ASSERT_TRUE(ClickButton(popup, kDownload));
  EXPECT_TRUE(PopupShows("(FLV) The task has been added."));
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(saveDir + "clip.flv") &&
                                     testsupport::ReadWholeFile(saveDir + "clip.flv") == video; }, 60))
      << testsupport::ReadWholeFile(home.path("tamborel.log"));

  // An rtmp:// address: a task that records the stream.
  const std::string stream = "rtmp://127.0.0.1:" + std::to_string(rtmp.port()) + "/vod/stream.flv";
  run = RunCaptureTool({stream});
  ASSERT_EQ(run.code, 0) << run.output;
  // The offer names the stream as its play path has it, without ".flv".
  popup = GrownPopup(testsupport::XDisplay::ExactTitle("(FLV) " + stream.substr(0, stream.size() - 4)));
  ASSERT_FALSE(popup.empty()) << VisibleCaptions();
  ASSERT_TRUE(ClickButton(popup, kDownload));
  EXPECT_TRUE(WaitUntil([&] {
    for (const fs::path& p : SavedFiles(".flv"))
      if (p.filename() != "clip.flv" && fs::file_size(p) > 10000) return true;
    return false;
  }, 60));

  // Refusals, each with its reason.
  run = RunCaptureTool({http.Url("/movie.swf")});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.output, "tamborel-capture: type \"*.swf\" is not monitored\n");

  // Messages that carry this process's pointers are not for other processes.
  const uint32_t window = ReadRunningMonitorMap().window;
  EXPECT_FALSE(platform::PostWindowMessage(window, 2278, static_cast<platform::MessageParam>(0xDEADBEEF), 1));
  EXPECT_FALSE(platform::PostWindowMessage(window, 2285, 1, static_cast<platform::MessageParam>(0xDEADBEEF)));
  EXPECT_TRUE(platform::IsWindow(window));

  // Monitoring switched off in the window.
  if (testsupport::HaveProgram("xdotool")) {
    EXPECT_TRUE(testsupport::SwitchMonitoringOffInWindow());
    run = RunCaptureTool({http.Url("/clip.flv")});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.output, "tamborel-capture: monitoring is off in Tamborel\n");
  }

  // The recording's size and length, measured after it completed, are in
  // the task list the program saves at exit.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  tamborel.Stop(10000);
  EXPECT_FALSE(ReadRunningMonitorMap().monitoring);
  const std::string tasks = testsupport::ReadWholeFile(home.path("data/Quorlin/Tamborel/Task.dat"));
  EXPECT_NE(tasks.find("<FileName>stream.flv</FileName>"), std::string::npos) << tasks;
  EXPECT_NE(tasks.find("<Width>160</Width><Height>120</Height><Duration>00:00:04</Duration>"), std::string::npos)
      << tasks;
  run = RunCaptureTool({http.Url("/clip.flv")});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.output, "tamborel-capture: no running Tamborel\n");
}

// Count of trace lines that start with `word`.
int TraceLines(const std::string& trace, const std::string& word) {
  int n = 0;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) n += line.rfind(word, 0) == 0;
  return n;
}

// The thumbnail lines' colour counts.
std::vector<int> ThumbnailColours(const std::string& trace) {
  std::vector<int> colours;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find(" colours=");
    if (line.rfind("thumbnail ", 0) == 0 && at != std::string::npos) colours.push_back(std::stoi(line.substr(at + 9)));
  }
  return colours;
}

TEST_F(CaptureEndToEnd, CapturePopupsOfferNewAddressesAndTheTasksTheyAlreadyHave) {
  testsupport::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", home.path("runtime").c_str());
  testsupport::Sandbox web;
  testsupport::NginxPeer http;
  // Long enough for the popup's preview to be playing while it is up.
  ASSERT_TRUE(testsupport::MakeTestFlv(web.path("clip.flv"), 30, "flv", "libmp3lame"));
  const std::string video = testsupport::ReadWholeFile(web.path("clip.flv"));
  ASSERT_TRUE(http.Start(web.dir()));
  ASSERT_TRUE(StartTamborel()) << testsupport::ReadWholeFile(home.path("tamborel.log"));
  const std::string url = http.Url("/clip.flv");
  const std::string trace = home.path("popups.trace");
  auto capture = [&] {
    const ToolRun run = RunCaptureTool({url});
    ASSERT_EQ(run.code, 0) << run.output << "Tamborel running: " << (tamborel.Wait(0) == -1) << "\n"
                           << testsupport::ReadWholeFile(home.path("tamborel.log"));
  };

  // A new address: its type and the address, with "Download". Captured again
  // while its popup is up, it makes no second record and no second popup.
  capture();
  std::string popup = GrownPopup(testsupport::XDisplay::ExactTitle("(FLV) " + url));
  ASSERT_FALSE(popup.empty()) << VisibleCaptions();
  capture();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(TraceLines(testsupport::ReadWholeFile(trace), "offer "), 1);
  EXPECT_EQ(x.VisibleWindows(testsupport::XDisplay::ExactTitle("(FLV) " + url)), popup + "\n");

  // The preview plays the address from the server; its picture becomes the
  // record's thumbnail, a real picture rather than a blank grab.
  EXPECT_TRUE(WaitUntil([&] { return !ThumbnailColours(testsupport::ReadWholeFile(trace)).empty(); }, 60));
  const std::vector<int> colours = ThumbnailColours(testsupport::ReadWholeFile(trace));
  ASSERT_FALSE(colours.empty());
  EXPECT_GE(colours.back(), 8) << testsupport::ReadWholeFile(trace);
  EXPECT_NE(testsupport::ReadWholeFile(trace).find(" 74x48 "), std::string::npos);
  Screenshot("capture_popup");
  // The history dialog lists the record with that picture (for a person to
  // look at); Tools, "View Capture history...".
  const std::string frame = x.WaitForWindow("^Tamborel$");
  ASSERT_FALSE(frame.empty());
  ASSERT_EQ(testsupport::RunCommand({"xdotool", "windowfocus", "--sync", frame, "key", "--delay", "100", "alt+t",
                                     "Return"}, nullptr, 20000), 0);
  const std::string history = x.WaitForWindow("^Capture History$");
  ASSERT_FALSE(history.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  Screenshot("capture_history");
  ASSERT_EQ(testsupport::RunCommand({"xdotool", "windowfocus", "--sync", history, "key", "Escape"}, nullptr, 20000), 0);
  EXPECT_TRUE(WaitUntil([&] { return x.VisibleWindows("^Capture History$").empty(); }, 20));

  // Closed with "X", the same address captured again is a second record.
  ASSERT_TRUE(ClickButton(popup, kClose));
  ASSERT_TRUE(PopupGone(popup));
  capture();
  popup = GrownPopup(testsupport::XDisplay::ExactTitle("(FLV) " + url));
  ASSERT_FALSE(popup.empty()) << VisibleCaptions();
  EXPECT_NE(testsupport::ReadWholeFile(trace).find("records=2"), std::string::npos) << testsupport::ReadWholeFile(trace);

  // "Download" adds the task; the popup says so and shrinks away.
  ASSERT_TRUE(ClickButton(popup, kDownload));
  EXPECT_TRUE(PopupShows("(FLV) The task has been added."));
  EXPECT_TRUE(PopupGone(popup));
  ASSERT_TRUE(WaitUntil([&] { return testsupport::ReadWholeFile(saveDir + "clip.flv") == video; }, 60));

  // The task has it now: "Download again" restarts it from nothing.
  capture();
  popup = GrownPopup(testsupport::XDisplay::ExactTitle("(FLV) The Task has existed."));
  ASSERT_FALSE(popup.empty()) << VisibleCaptions();
  std::this_thread::sleep_for(std::chrono::seconds(1));  // the task has settled as completed
  Screenshot("capture_popup_existed");
  home.WriteFile("videos/clip.flv", "spoilt");
  ASSERT_TRUE(ClickButton(popup, kDownloadAgain));
  EXPECT_TRUE(PopupShows("(FLV) The task has been added."));
  EXPECT_TRUE(PopupGone(popup));
  EXPECT_TRUE(WaitUntil([&] { return testsupport::ReadWholeFile(saveDir + "clip.flv") == video; }, 60));

  // "Check" acts too: with popups closed by hand only a button takes it away.
  capture();
  popup = GrownPopup(testsupport::XDisplay::ExactTitle("(FLV) The Task has existed."));
  ASSERT_FALSE(popup.empty()) << VisibleCaptions();
  ASSERT_TRUE(ClickButton(popup, kCheck));
  EXPECT_TRUE(PopupGone(popup));
  EXPECT_EQ(SavedFiles(".flv").size(), 1u);
  // A clean end, also under the sanitizers.
  EXPECT_EQ(tamborel.Stop(10000), 0) << testsupport::ReadWholeFile(home.path("tamborel.log"));
}

}  // namespace
