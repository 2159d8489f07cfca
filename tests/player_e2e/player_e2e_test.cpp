// Pellumo as the user runs it: a real X server (Xvfb), the real movie on
// libmpv, media recorded by tamborel-get from nginx's RTMP module and served
// over HTTP, keys and clicks through xdotool. The program's trace file
// (PELLUMO_TRACE) tells what the movie reported. Screenshots go to
// build/player-shots/ for a person to look at.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using testsupport::ChildProcess;
using testsupport::RunCommand;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string ShotsDir() {
  std::string dir = std::string(TAMBOREL_BINARY_DIR) + "/player-shots/";
  ::mkdir(dir.c_str(), 0755);
  return dir;
}

class PlayerE2E : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testsupport::HaveProgram("Xvfb") || !testsupport::HaveProgram("xdotool") ||
        !testsupport::HaveProgram("ffmpeg"))
      return;
    // Spread parallel test runs over different numbers; a server that lost
    // the race for its number has ended by the time the socket shows.
    const int first = 500 + static_cast<int>(::getpid() % 300);
    for (int n = first; n < first + 60; ++n) {
      if (::access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0 ||
          ::access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0)
        continue;
      display_ = ":" + std::to_string(n);
      xvfb_ = new ChildProcess;
      if (!xvfb_->Start({"Xvfb", display_, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"})) break;
      std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (WaitUntil([&] { return ::access(socket.c_str(), F_OK) == 0; }, 10000) && xvfb_->Wait(300) == -1) return;
      xvfb_->Stop();
      delete xvfb_;
      xvfb_ = nullptr;
    }
    display_.clear();
  }
  static void TearDownTestSuite() {
    delete xvfb_;
    xvfb_ = nullptr;
  }

  void SetUp() override {
    if (display_.empty()) GTEST_SKIP() << "needs Xvfb, xdotool and ffmpeg";
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>("DISPLAY", display_.c_str()));
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>("QT_QPA_PLATFORM", "xcb"));
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>("HOME", box_.dir().c_str()));
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>(
        "XDG_CONFIG_HOME", (box_.dir() + "config").c_str()));
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>("XDG_RUNTIME_DIR", box_.dir().c_str()));
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>("TMPDIR", box_.dir().c_str()));
    env_.emplace_back(std::make_unique<testsupport::ScopedEnv>("PELLUMO_TRACE", trace().c_str()));
  }

  void TearDown() override {
    player_.Stop();
    env_.clear();
  }

  std::string trace() const { return box_.path("trace.txt"); }

  bool StartPlayer(const std::string& argument) {
    return player_.Start({PELLUMO_PROGRAM, argument}, box_.path("player.log"));
  }

  int CountTrace(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : Lines(trace()))
      if (line.rfind(prefix, 0) == 0) ++n;
    return n;
  }
  bool WaitTrace(const std::string& prefix, int count = 1, int timeoutMs = 60000) const {
    return WaitUntil([&] { return CountTrace(prefix) >= count; }, timeoutMs);
  }
  // The last position the movie reported, in seconds; -1 before any.
  double LastPlaytime() const {
    double last = -1;
    for (const std::string& line : Lines(trace()))
      if (line.rfind("movie playtime ", 0) == 0) last = std::stod(line.substr(15));
    return last;
  }
  // The last value the movie reported for a name ("movie volume 0.75").
  std::string LastReport(const std::string& prefix) const {
    std::string last;
    for (const std::string& line : Lines(trace()))
      if (line.rfind(prefix, 0) == 0) last = line.substr(prefix.size());
    return last;
  }

  // The trace's last lines without the position reports, for failure messages.
  std::string TraceTail() const {
    std::vector<std::string> keep;
    for (const std::string& line : Lines(trace()))
      if (line.rfind("movie playtime", 0) != 0) keep.push_back(line);
    std::string out;
    for (size_t i = keep.size() > 12 ? keep.size() - 12 : 0; i < keep.size(); ++i) out += keep[i] + "\n";
    return out;
  }

  std::string Window() const {
    std::string out;
    RunCommand({"xdotool", "search", "--onlyvisible", "--name", "Pellumo"}, &out, 10000);
    std::istringstream in(out);
    std::string id;
    in >> id;
    return id;
  }
  bool WaitWindow() const {
    return WaitUntil([&] { return !Window().empty(); }, 60000);
  }
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
  };
  Rect Geometry() const {
    std::string out;
    RunCommand({"xdotool", "getwindowgeometry", "--shell", Window()}, &out, 10000);
    Rect r;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
      auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string key = line.substr(0, eq);
      int v = std::atoi(line.c_str() + eq + 1);
      if (key == "X") r.x = v;
      else if (key == "Y") r.y = v;
      else if (key == "WIDTH") r.w = v;
      else if (key == "HEIGHT") r.h = v;
    }
    return r;
  }

  void Key(const std::string& keys) const {
    // Pressed and released as two steps: a shortcut that opens a modal
    // dialog must not see the key typed again into that dialog.
    RunCommand({"xdotool", "search", "--onlyvisible", "--name", "Pellumo", "windowfocus", "--sync",
                "keydown", keys, "sleep", "0.1", "keyup", keys}, nullptr, 10000);
  }
  void Click(int x, int y) const {
    // No --sync: it would wait for ever when the pointer is already there.
    RunCommand({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "sleep", "0.3", "click", "1"},
               nullptr, 10000);
  }
  void Shot(const std::string& name) const {
    RunCommand({"import", "-display", display_, "-window", "root", ShotsDir() + name}, nullptr, 30000);
  }

  static std::string display_;
  static ChildProcess* xvfb_;
  testsupport::Sandbox box_;
  std::vector<std::unique_ptr<testsupport::ScopedEnv>> env_;
  ChildProcess player_;
};

std::string PlayerE2E::display_;
ChildProcess* PlayerE2E::xvfb_ = nullptr;

// A recording made by tamborel-get from nginx's RTMP module plays to its
// end; a second start with an MP4 hands it to the running player, which
// plays it to its end as well.
TEST_F(PlayerE2E, RecordedFlvAndForwardedMp4PlayToTheEnd) {
  if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "needs nginx with its RTMP module";
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start());
  ASSERT_TRUE(testsupport::MakeMediaFlv(nginx.media_dir() + "clip.flv", 3, "libx264", "aac"));
  std::string out;
  const std::string url = "rtmp://127.0.0.1:" + std::to_string(nginx.port()) + "/vod/clip.flv";
  ASSERT_EQ(RunCommand({TAMBOREL_GET_PROGRAM, "-o", box_.path("got"), url}, &out), 0) << out;
  std::string recorded = out.substr(0, out.find_last_not_of("\n") + 1);
  recorded = recorded.substr(recorded.find_last_of('\n') + 1);
  ASSERT_EQ(::access(recorded.c_str(), R_OK), 0) << recorded;

  ASSERT_TRUE(StartPlayer(recorded));
  ASSERT_TRUE(WaitWindow()) << box_.ReadFile("player.log") << TraceTail();
  ASSERT_TRUE(WaitTrace("movie width")) << box_.ReadFile("player.log");
  EXPECT_TRUE(WaitTrace("movie duration"));
  Shot("playing.png");
  ASSERT_TRUE(WaitTrace("movie playfinish")) << box_.ReadFile("player.log");

  const std::string mp4 = box_.path("second.mp4");
  ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                        "-f", "lavfi", "-i", "sine=frequency=440", "-t", "2", "-pix_fmt", "yuv420p",
                        "-c:v", "libx264", "-c:a", "aac", "-shortest", mp4}),
            0);
  ChildProcess second;
  ASSERT_TRUE(second.Start({PELLUMO_PROGRAM, mp4}, box_.path("second.log")));
  // The second start ends by itself, without a window of its own.
  EXPECT_EQ(second.Wait(30000), 0);
  EXPECT_TRUE(WaitTrace("call <invoke name=\"SetMoive\" returntype=\"xml\"><arguments><string>" + mp4));
  EXPECT_TRUE(WaitTrace("movie playfinish", 2)) << box_.ReadFile("player.log");
  std::string list;
  RunCommand({"xdotool", "search", "--name", "Pellumo"}, &list, 10000);
  EXPECT_TRUE(player_.running());
}

// An http:// address plays; pause, seek, volume and mute act on the media,
// as the position and volume the movie reports show; full screen and back;
// the URL dialog opens over it.
TEST_F(PlayerE2E, HttpAddressWithControlsFullScreenAndUrlDialog) {
  if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "needs nginx";
  const std::string root = box_.path("www/");
  ::mkdir(root.c_str(), 0755);
  ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                        "-f", "lavfi", "-i", "sine=frequency=440", "-t", "60", "-pix_fmt", "yuv420p",
                        "-c:v", "libx264", "-g", "25", "-c:a", "aac", "-shortest",
                        "-movflags", "+faststart", root + "clip.mp4"}),
            0);
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start(root));

  ASSERT_TRUE(StartPlayer(nginx.Url("/clip.mp4")));
  ASSERT_TRUE(WaitWindow()) << box_.ReadFile("player.log") << TraceTail();
  ASSERT_TRUE(WaitTrace("movie height")) << box_.ReadFile("player.log");
  ASSERT_TRUE(WaitUntil([&] { return LastPlaytime() > 1.0; }, 60000));
  Shot("http-playing.png");

  // Pause: the position stops moving; play again: it moves on.
  Key("space");
  ASSERT_TRUE(WaitTrace("call <invoke name=\"PauseMovie\""));
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  double paused = LastPlaytime();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_NEAR(LastPlaytime(), paused, 0.25);
  Key("space");
  ASSERT_TRUE(WaitTrace("call <invoke name=\"PlayMovie\""));
  EXPECT_TRUE(WaitUntil([&] { return LastPlaytime() > paused + 0.5; }, 20000));

  Rect g = Geometry();
  const int barTop = g.y + g.h - 47;
  // Volume: a click at a fifth of the volume bar, then mute and unmute.
  const int centre = g.x + g.w / 2;
  const std::string setSound = "call <invoke name=\"SetSound\" returntype=\"xml\"><arguments><string>";
  const int soundsBefore = CountTrace(setSound);
  Click(centre + 88 + 5 + (64 - 10) / 5, barTop + 26 + 4);
  ASSERT_TRUE(WaitTrace(setSound, soundsBefore + 1));
  std::string clicked = LastReport(setSound);
  clicked = clicked.substr(0, clicked.find('<'));
  EXPECT_GE(std::stoi(clicked), 15);
  EXPECT_LE(std::stoi(clicked), 25);
  EXPECT_TRUE(WaitUntil([&] { return LastReport("movie volume ") == clicked; }, 10000))
      << LastReport("movie volume ");
  Click(centre + 55 + 12, barTop + 18 + 12);
  EXPECT_TRUE(WaitUntil([&] { return LastReport("movie volume ") == "0"; }, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(800));  // not a double click
  Click(centre + 55 + 12, barTop + 18 + 12);
  EXPECT_TRUE(WaitUntil([&] { return LastReport("movie volume ") == clicked; }, 10000))
      << TraceTail();

  // Seek: a click at three quarters of the seek bar.
  Click(g.x + 5 + (g.w - 10) * 3 / 4, barTop + 3 + 5);
  ASSERT_TRUE(WaitTrace("call <invoke name=\"SetProcess\""));
  EXPECT_TRUE(WaitUntil([&] { return LastPlaytime() >= 40.0; }, 20000)) << LastPlaytime();

  // Full screen and back.
  Rect windowed = Geometry();
  Key("alt+Return");
  EXPECT_TRUE(WaitUntil([&] { Rect r = Geometry(); return r.w == 1280 && r.h == 1024; }, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  Shot("fullscreen.png");
  Key("Escape");
  EXPECT_TRUE(WaitUntil([&] { Rect r = Geometry(); return r.w == windowed.w && r.h == windowed.h; },
                        10000));

  // The URL dialog, with the address just played as its first entry.
  Key("ctrl+shift+o");
  EXPECT_TRUE(WaitUntil([&] {
    std::string out;
    RunCommand({"xdotool", "search", "--onlyvisible", "--name", "^Open URL$"}, &out, 10000);
    return !out.empty();
  }, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Shot("url-dialog.png");
  RunCommand({"xdotool", "key", "Escape"}, nullptr, 10000);
}

}  // namespace
