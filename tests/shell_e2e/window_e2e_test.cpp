// Tamborel under Xvfb with a tray: start with a saved task list, a second
// start, a download added through the dialog, SIGTERM and the next start.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "core/data_model.h"
#include "core/task_list_file.h"
#include "platform/file_system.h"
#include "tests/support/child_process.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/x_display.h"

namespace {

using namespace testsupport;
using namespace std::chrono_literals;

const std::string kProgram = std::string(TAMBOREL_BINARY_DIR) + "/bin/Tamborel";
const std::string kShots = std::string(TAMBOREL_BINARY_DIR) + "/screenshots/";
const std::string kPlayer = std::string(TAMBOREL_BINARY_DIR) + "/bin/Pellumo";

// Processes running `program` with exactly `argument`: the player Tamborel
// started for us, which is nobody's child we could wait for.
std::vector<pid_t> ProcessesRunning(const std::string& program, const std::string& argument) {
  std::vector<pid_t> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    std::string args((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (args == program + '\0' + argument + '\0') found.push_back(static_cast<pid_t>(std::stoi(name)));
  }
  return found;
}

void AddTask(DataModel& m, int32_t status, const std::string& name, const std::string& dir, int32_t size) {
  DataRecord t;
  t.TaskIndex = ++m.LastTaskIndex;
  t.SortIndex = ++m.LastSortIndex;
  t.DownStatus = status;
  t.FileName = name;
  t.TempFile = "{1_" + name + "}.TMP!";
  t.URL = "http://127.0.0.1:9/old/" + name;
  t.SaveDir = dir;
  t.FileBytes = size;
  t.DownBytes = status == Completed ? size : size / 3;
  t.Progress = status == Completed ? "100.00" : "33.33";
  t.CreateTime = "2026-12-01 10:00:00";
  if (status == Completed) t.FinishTime = "2026-12-01 10:01:00";
  m.tasks.push_back(t);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
    if (done()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return done();
}

int Key(const std::string& window, const std::vector<std::string>& keys) {
  std::vector<std::string> argv = {"xdotool", "windowfocus", "--sync", window, "key", "--delay", "60"};
  argv.insert(argv.end(), keys.begin(), keys.end());
  return RunCommand(argv, nullptr, 20000);
}

// Opens "Manually DownLoad" from the File menu and confirms the address.
void AddThroughDialog(const XDisplay& x, const std::string& frame, const std::string& url) {
  ASSERT_EQ(Key(frame, {"alt+f", "m"}), 0);
  std::string dialog = x.WaitForWindow("^New Download$");
  ASSERT_FALSE(dialog.empty()) << "the dialog did not open";
  ASSERT_EQ(RunCommand({"xdotool", "windowfocus", "--sync", dialog, "type", "--delay", "5", url}, nullptr, 30000), 0);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(Key(dialog, {"Return"}), 0);
  ASSERT_TRUE(WaitFor([&] { return x.VisibleWindows("^New Download$").empty(); }, 10s)) << "the dialog stayed open";
}

class WindowEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XDisplay::Available() || !NginxPeer::Available()) GTEST_SKIP() << "Xvfb, trayer, xdotool or nginx missing";
    ::chmod(box_.path("").c_str(), 0700);
    ::mkdir(box_.path("run").c_str(), 0700);
    ASSERT_TRUE(platform::CreateFolders(box_.path("home/Documents")));
    data_ = box_.path("data") + "/Quorlin/Tamborel/";
    ASSERT_TRUE(platform::CreateFolders(data_));
    ::mkdir(kShots.c_str(), 0755);
    // The tutorial opens over the window at a first start; these runs drive the frame itself.
    ASSERT_TRUE(platform::CreateFolders(box_.path("config/Quorlin")));
    box_.WriteFile("config/Quorlin/Tamborel.conf", "[GlobalStatus]\nShowTutorial=0\n");
    ASSERT_TRUE(x_.Start(2400, 1600, true));
    // Sanitizer builds: what fontconfig and libdbus keep for the process's
    // life is not a leak of ours.
    box_.WriteFile("lsan.supp", "leak:libfontconfig.so\nleak:libdbus-1.so\n");
    lsan_ = std::make_unique<ScopedEnv>("LSAN_OPTIONS", ("suppressions=" + box_.path("lsan.supp")).c_str());
  }

  std::string Start(ChildProcess& p, std::vector<std::string> args = {}) {
    args.insert(args.begin(), kProgram);
    EXPECT_TRUE(p.Start(args, box_.path("tamborel.log")));
    return x_.WaitForWindow("^Tamborel$");
  }

  Sandbox box_;
  ScopedEnv home_{"HOME", box_.path("home").c_str()};
  ScopedEnv dataHome_{"XDG_DATA_HOME", box_.path("data").c_str()};
  ScopedEnv configHome_{"XDG_CONFIG_HOME", box_.path("config").c_str()};
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", box_.path("run").c_str()};
  ScopedEnv platformName_{"QT_QPA_PLATFORM", "xcb"};
  std::string data_;
  XDisplay x_;
  std::unique_ptr<ScopedEnv> lsan_;
};

TEST_F(WindowEndToEnd, SavedTasksSecondStartDialogDownloadAndSigterm) {
  // The saved list: finished, failed, paused and interrupted tasks.
  const std::string old = box_.path("old/");
  ASSERT_TRUE(platform::CreateFolders(old));
  DataModel saved;
  AddTask(saved, Completed, "finished.flv", old, 1 << 20);
  AddTask(saved, Failed, "failed.flv", old, 3 << 20);
  AddTask(saved, Paused, "paused.mp4", old, 5 << 20);
  AddTask(saved, Downloading, "interrupted.flv", old, 7 << 20);
  ASSERT_TRUE(SaveTaskList(saved, data_));

  // Served files: a small one that completes and a large slow one that keeps running.
  Sandbox site;
  site.WriteFile("clip.flv", std::string(300 * 1024, 'v'));
  site.WriteFile("slow.flv", std::string(64 << 20, 's'));
  NginxPeer nginx;
  ASSERT_TRUE(nginx.Start(site.dir(), "location /slow.flv { limit_rate 100k; }"));

  ChildProcess first;
  const std::string frame = Start(first);
  ASSERT_FALSE(frame.empty()) << "no window";
  std::this_thread::sleep_for(1500ms);
  x_.Screenshot(kShots + "start.png");

  // A second start raises the first window and ends with 0, making nothing.
  ASSERT_EQ(RunCommand({"xdotool", "windowminimize", "--sync", frame}, nullptr, 10000), 0);
  ChildProcess second;
  ASSERT_TRUE(second.Start({kProgram}, box_.path("second.log")));
  EXPECT_EQ(second.Wait(15000), 0);
  EXPECT_FALSE(x_.WaitForWindow("^Tamborel$", 10000).empty()) << "the first window was not raised";
  std::string windows = x_.VisibleWindows("^Tamborel$");
  EXPECT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;

  // Two addresses through the dialog.
  AddThroughDialog(x_, frame, nginx.Url("/clip.flv"));
  AddThroughDialog(x_, frame, nginx.Url("/slow.flv"));
  const std::string saveDir = box_.path("home/Documents/Tamborel/");
  EXPECT_TRUE(WaitFor([&] { return platform::FileSize(saveDir + "clip.flv") == 300 * 1024; }, 30s))
      << "clip.flv did not arrive in " << saveDir;
  std::this_thread::sleep_for(2500ms);  // a few per-second refreshes of the slow task
  x_.Screenshot(kShots + "running.png");

  // SIGTERM: the list and the settings are saved as "Exit" saves them.
  EXPECT_EQ(first.Stop(10000), 0);
  DataModel after;
  ASSERT_EQ(LoadTaskList(after, data_, true), 6);
  const DataRecord* clip = after.FindTaskByUrl(nginx.Url("/clip.flv"));
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->DownStatus, Completed);
  EXPECT_EQ(after.FindTaskByUrl(nginx.Url("/slow.flv"))->DownStatus, Downloading);
  EXPECT_TRUE(platform::FileExists(box_.path("config/Quorlin/Tamborel.conf")));
  EXPECT_NE(ReadWholeFile(box_.path("config/Quorlin/Tamborel.conf")).find("SavePathHistory"), std::string::npos);

  // The next start shows the same tasks (the slow one paused, as ResumeTask is off).
  ChildProcess third;
  ASSERT_FALSE(Start(third).empty());
  std::this_thread::sleep_for(1500ms);
  x_.Screenshot(kShots + "restart.png");
  EXPECT_EQ(third.Stop(10000), 0);
  DataModel last;
  EXPECT_EQ(LoadTaskList(last, data_, true), 6);
  EXPECT_EQ(last.FindTaskByUrl(nginx.Url("/slow.flv"))->DownStatus, Paused);
}

TEST_F(WindowEndToEnd, MinStartShowsOnlyTheTrayIconUntilRaised) {
  ChildProcess app;
  ASSERT_TRUE(app.Start({kProgram, "-MIN"}, box_.path("min.log")));
  std::this_thread::sleep_for(2500ms);
  EXPECT_TRUE(x_.VisibleWindows("^Tamborel$").empty());
  EXPECT_EQ(app.Wait(10), -1) << "the program ended";
  x_.Screenshot(kShots + "tray_only.png");
  // A second start brings it up.
  ChildProcess second;
  ASSERT_TRUE(second.Start({kProgram}, box_.path("second.log")));
  EXPECT_EQ(second.Wait(15000), 0);
  EXPECT_FALSE(x_.WaitForWindow("^Tamborel$", 10000).empty());
  EXPECT_EQ(app.Stop(10000), 0);
}

TEST_F(WindowEndToEnd, StartsNormallyAfterACrashLeftTheInstanceBlock) {
  ChildProcess crashed;
  ASSERT_FALSE(Start(crashed).empty());
  ::kill(crashed.pid(), SIGKILL);
  crashed.Wait(5000);
  std::this_thread::sleep_for(500ms);
  ChildProcess next;
  EXPECT_FALSE(Start(next).empty()) << "a dead instance's block stopped the start";
  EXPECT_EQ(next.Stop(10000), 0);
}

TEST_F(WindowEndToEnd, OpenFileOnACompletedDownloadPlaysItInThePlayer) {
  Sandbox site;
  ASSERT_TRUE(MakeTestFlv(site.path("clip.flv"), 2, "flv", "libmp3lame"));
  NginxPeer nginx;
  ASSERT_TRUE(nginx.Start(site.dir()));
  // The player inherits these: its trace tells what its movie reported.
  ScopedEnv trace("PELLUMO_TRACE", box_.path("player.trace").c_str());
  ScopedEnv tmp("TMPDIR", box_.path("run").c_str());

  ChildProcess app;
  const std::string frame = Start(app);
  ASSERT_FALSE(frame.empty()) << "no window";
  AddThroughDialog(x_, frame, nginx.Url("/clip.flv"));
  const std::string saved = box_.path("home/Documents/Tamborel/clip.flv");
  ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(saved) == ReadWholeFile(site.path("clip.flv")); }, 30s));
  std::this_thread::sleep_for(1500ms);  // the list shows it as completed

  // The Completed category, then a double-click on its only row: Open File
  // by the double-click table (the frame sits at the top left of a screen
  // without a window manager).
  ASSERT_EQ(RunCommand({"xdotool", "mousemove", "--sync", "110", "114", "click", "1"}, nullptr, 10000), 0);
  std::this_thread::sleep_for(700ms);
  ASSERT_EQ(RunCommand({"xdotool", "mousemove", "--sync", "290", "104", "click", "--repeat", "2", "--delay", "80", "1"},
                       nullptr, 10000), 0);
  const std::string player = x_.WaitForWindow("Pellumo$", 30000);
  EXPECT_FALSE(player.empty()) << "the player did not start";
  EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(box_.path("player.trace")).find("movie playfinish") !=
                                   std::string::npos; }, 60s))
      << ReadWholeFile(box_.path("player.trace"));
  x_.Screenshot(kShots + "open_file_player.png");
  const std::vector<pid_t> players = ProcessesRunning(kPlayer, saved);
  EXPECT_EQ(players.size(), 1u) << "the player was not started with the file";
  for (pid_t pid : players) ::kill(pid, SIGTERM);
  EXPECT_EQ(app.Stop(10000), 0);
}

}  // namespace
