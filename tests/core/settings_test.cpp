#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>

#include "core/memory_key_value_store.h"
#include "platform/file_system.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/standard_folders.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using testsupport::ScopedEnv;

std::vector<std::pair<std::string, int>> Names(const std::vector<BrowserEntry>& browsers) {
  std::vector<std::pair<std::string, int>> out;
  for (const BrowserEntry& b : browsers) out.push_back({b.Name, b.Monitored});
  return out;
}

TEST(Settings, FreshUserGetsDefaultsAndTheSaveFolderIsCreated) {
  testsupport::Sandbox box;
  MemoryKeyValueStore store;
  Settings s;
  s.Load(store, box.path("prog"), box.path("docs"));

  EXPECT_EQ(s.SavePath, box.path("docs/Tamborel/"));
  EXPECT_TRUE(platform::FileExists(box.path("docs/Tamborel")));
  EXPECT_EQ(s.CaptureSound, box.path("prog/sound/capture.wav"));
  EXPECT_EQ(s.FinishSound, box.path("prog/sound/finish.wav"));
  using B = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Names(s.Browsers),
            (B{{"iexplore.exe", 1}, {"firefox.exe", 1}, {"opera.exe", 1}, {"maxthon.exe", 1}, {"chromium", 1}}));

  EXPECT_EQ(s.Monitoring, 1);
  EXPECT_EQ(s.RetryDelay, 10);
  EXPECT_EQ(s.RetryTimes, 100);
  EXPECT_EQ(s.ShowTutorial, 1);
  EXPECT_EQ(s.ToolTipShowedCount, 0);
  EXPECT_EQ(s.CloseAction, 0);
  EXPECT_EQ(s.CloseActionLastTimeUsed, 1);
  EXPECT_EQ(s.AutoStart, 0);
  EXPECT_EQ(s.ResumeTask, 0);
  EXPECT_EQ(s.ShowTaskWnd, 1);
  EXPECT_EQ(s.PlaySound, 1);
  EXPECT_EQ(s.ShowFinishPopWnd, 1);
  EXPECT_EQ(s.ClosePopWndSeconds, 20);
  EXPECT_EQ(s.ClosePopWndWay, 1);
  for (int i = 0; i < kMediaTypeCount; ++i) EXPECT_EQ(s.MediaTypeOn[i], i < 16 ? 1 : 0) << i;

  ASSERT_EQ(s.MediaTypes.size(), 17u);
  EXPECT_EQ(s.MediaTypes[0].Description, "Flash Video");
  EXPECT_EQ(s.MediaTypes[0].Pattern, "*.flv");
  EXPECT_EQ(s.MediaTypes[7].Pattern, "*.mpeg");
  EXPECT_EQ(s.MediaTypes[14].Description, "MPEG-1 Audio Layer 3");
  EXPECT_EQ(s.MediaTypes[16].Description, "Flash Movie");
  EXPECT_EQ(s.MediaTypes[16].Pattern, "*.swf");

  // Loading alone never writes.
  EXPECT_TRUE(store.values().empty());
}

TEST(Settings, UnknownDocumentsFolderFallsBackToHome) {
  testsupport::Sandbox box;
  ScopedEnv home("HOME", box.path("home").c_str());
  MemoryKeyValueStore store;
  Settings s;
  s.Load(store, box.dir(), "");
  EXPECT_EQ(s.SavePath, box.path("home/Tamborel/"));
  EXPECT_TRUE(platform::FileExists(box.path("home/Tamborel")));
}

TEST(Settings, BrowserTextsSplitAtCommasDroppingEmptyPieces) {
  struct Case {
    std::optional<std::string> monitor, unmonitor;
    std::vector<std::pair<std::string, int>> expected;
  };
  const Case cases[] = {
      {",a.exe,,b.exe", std::nullopt, {{"a.exe", 1}, {"b.exe", 1}}},
      {"a.exe", ",x.exe,,y.exe,", {{"a.exe", 1}, {"x.exe", 0}, {"y.exe", 0}}},
      {"", "c.exe", {{"c.exe", 0}}},  // an empty text is not a missing one
      {",,,", ",", {}},
      {std::nullopt, "c.exe",
       {{"iexplore.exe", 1}, {"firefox.exe", 1}, {"opera.exe", 1}, {"maxthon.exe", 1}, {"chromium", 1}, {"c.exe", 0}}},
  };
  testsupport::Sandbox box;
  for (const Case& c : cases) {
    MemoryKeyValueStore store;
    if (c.monitor) store.WriteText("Browser", "Monitor", *c.monitor);
    if (c.unmonitor) store.WriteText("Browser", "UnMonitor", *c.unmonitor);
    Settings s;
    s.Load(store, box.dir(), box.dir());
    EXPECT_EQ(Names(s.Browsers), c.expected) << c.monitor.value_or("(missing)");
  }
}

TEST(Settings, StoredValuesAreReadFlagsBecomeOneAndBadValuesTakeDefaults) {
  testsupport::Sandbox box;
  MemoryKeyValueStore store;
  store.WriteNumber("MonitorOption", "MediaType16", 1);
  store.WriteNumber("MonitorOption", "MediaType2", 0);
  store.WriteNumber("GlobalStatus", "ShowTutorial", 0);
  store.WriteNumber("GeneralOption", "ResumeTask", 7);
  store.WriteNumber("PromptOption", "ClosePopWndSeconds", 0xFFFFFFFF);
  store.WriteNumber("GlobalStatus", "ToolTipShowedCount", 3);
  store.WriteText("PromptOption", "ClosePopWndWay", "2");  // a text where a number belongs
  store.WriteNumber("GeneralOption", "SavePath", 5);      // and the other way round
  store.WriteNumber("GeneralOption", "RetryDelay", 1);    // never read
  store.WriteNumber("GeneralOption", "RetryTimes", 1);

  Settings s;
  s.Load(store, box.dir(), box.path("docs"));
  EXPECT_EQ(s.MediaTypeOn[16], 1);
  EXPECT_EQ(s.MediaTypeOn[2], 0);
  EXPECT_EQ(s.MediaTypeOn[3], 1);
  EXPECT_EQ(s.ShowTutorial, 0);
  EXPECT_EQ(s.ResumeTask, 1);
  EXPECT_EQ(s.ClosePopWndSeconds, -1);
  EXPECT_EQ(s.ToolTipShowedCount, 3);
  EXPECT_EQ(s.ClosePopWndWay, 1);
  EXPECT_EQ(s.SavePath, box.path("docs/Tamborel/"));
  EXPECT_EQ(s.RetryDelay, 10);
  EXPECT_EQ(s.RetryTimes, 100);
}

TEST(Settings, SavePathAlwaysEndsInTheSeparator) {
  testsupport::Sandbox box;
  const std::pair<std::string, std::string> cases[] = {
      {"/data/videos", "/data/videos/"},
      {"/data/videos/", "/data/videos/"},
      {"", box.path("docs/Tamborel/")},
  };
  for (const auto& [stored, expected] : cases) {
    MemoryKeyValueStore store;
    store.WriteText("GeneralOption", "SavePath", stored);
    Settings s;
    s.Load(store, box.dir(), box.path("docs/"));
    EXPECT_EQ(s.SavePath, expected) << stored;
  }
}

// Every member set away from its default: the stored ones come back, the
// others are defaults again, and only the stored values reach the store.
TEST(Settings, SaveWritesExactlyTheStoredValuesAndLoadGivesThemBack) {
  testsupport::Sandbox box;
  Settings s;
  s.Monitoring = 0;
  s.RetryDelay = 3;
  s.RetryTimes = 5;
  s.WarnOnExit = 0;
  s.DetailLog = 0;
  s.DblClickCompleted = 2;
  s.CloseAction = 2;
  s.CloseActionLastTimeUsed = 0;
  s.ToolTipShowedCount = 9;
  s.ShowTutorial = 0;
  s.SavePath = "/srv/down/";
  s.ResumeTask = 1;
  s.AutoStart = 1;
  s.ShowTaskWnd = 0;
  s.ShowFinishPopWnd = 0;
  s.PlaySound = 0;
  s.ClosePopWndWay = 0;
  s.ClosePopWndSeconds = 45;
  for (int i = 0; i < kMediaTypeCount; ++i) s.MediaTypeOn[i] = i % 2;
  s.Browsers = {{"a.exe", 1}, {"b.exe", 0}, {"c.exe", 1}};

  MemoryKeyValueStore store;
  ASSERT_TRUE(s.Save(store));

  std::set<std::pair<std::string, std::string>> expected = {
      {"GlobalStatus", "ShowTutorial"},     {"GlobalStatus", "ToolTipShowedCount"},
      {"GlobalStatus", "CloseAction"},      {"GlobalStatus", "CloseActionLastTimeUsed"},
      {"GeneralOption", "AutoStart"},       {"GeneralOption", "ResumeTask"},
      {"GeneralOption", "ShowTaskWnd"},     {"GeneralOption", "SavePath"},
      {"PromptOption", "PlaySound"},        {"PromptOption", "ShowFinishPopWnd"},
      {"PromptOption", "ClosePopWndSeconds"}, {"PromptOption", "ClosePopWndWay"},
      {"Browser", "Monitor"},               {"Browser", "UnMonitor"}};
  for (int i = 0; i < kMediaTypeCount; ++i)
    expected.insert({"MonitorOption", "MediaType" + std::to_string(i)});
  std::set<std::pair<std::string, std::string>> written;
  for (const auto& [key, value] : store.values()) written.insert(key);
  EXPECT_EQ(written, expected);

  std::string monitor, unmonitor;
  ASSERT_TRUE(store.ReadText("Browser", "Monitor", &monitor));
  ASSERT_TRUE(store.ReadText("Browser", "UnMonitor", &unmonitor));
  EXPECT_EQ(monitor, ",a.exe,c.exe");
  EXPECT_EQ(unmonitor, ",b.exe");

  Settings t;
  t.Load(store, box.dir(), box.path("docs"));
  EXPECT_EQ(t.Monitoring, 1);
  EXPECT_EQ(t.RetryDelay, 10);
  EXPECT_EQ(t.RetryTimes, 100);
  EXPECT_EQ(t.WarnOnExit, 1);
  EXPECT_EQ(t.DetailLog, 1);
  EXPECT_EQ(t.DblClickCompleted, 1);
  EXPECT_EQ(t.CloseAction, 2);
  EXPECT_EQ(t.CloseActionLastTimeUsed, 0);
  EXPECT_EQ(t.ToolTipShowedCount, 9);
  EXPECT_EQ(t.ShowTutorial, 0);
  EXPECT_EQ(t.SavePath, "/srv/down/");
  EXPECT_EQ(t.ResumeTask, 1);
  EXPECT_EQ(t.AutoStart, 1);
  EXPECT_EQ(t.ShowTaskWnd, 0);
  EXPECT_EQ(t.ShowFinishPopWnd, 0);
  EXPECT_EQ(t.PlaySound, 0);
  EXPECT_EQ(t.ClosePopWndWay, 0);
  EXPECT_EQ(t.ClosePopWndSeconds, 45);
  for (int i = 0; i < kMediaTypeCount; ++i) EXPECT_EQ(t.MediaTypeOn[i], i % 2) << i;
  using B = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Names(t.Browsers), (B{{"a.exe", 1}, {"c.exe", 1}, {"b.exe", 0}}));
  // The default folder is made even when SavePath points elsewhere.
  EXPECT_TRUE(platform::FileExists(box.path("docs/Tamborel")));
}

// QSettings fixes its folder on first use, so everything that touches the
// real backend runs in this one test.
TEST(QtSettingsStore, RoundTripThroughTheRealBackend) {
  testsupport::Sandbox box;
  ScopedEnv config("XDG_CONFIG_HOME", box.path("config").c_str());

  Settings s;
  s.SavePath = "/srv/vidéos/";
  s.ClosePopWndSeconds = -3;
  s.MediaTypeOn[16] = 1;
  s.Browsers = {{"a.exe", 1}, {"b.exe", 0}};
  {
    platform::QtSettingsStore store;
    EXPECT_EQ(store.FileName(), box.path("config/Quorlin/Tamborel.conf"));
    ASSERT_TRUE(s.Save(store));
  }
  EXPECT_TRUE(platform::FileExists(box.path("config/Quorlin/Tamborel.conf")));
  {
    platform::QtSettingsStore store;
    Settings t;
    t.Load(store, box.dir(), box.path("docs"));
    EXPECT_EQ(t.SavePath, "/srv/vidéos/");
    EXPECT_EQ(t.ClosePopWndSeconds, -3);
    EXPECT_EQ(t.MediaTypeOn[16], 1);
    EXPECT_EQ(t.MediaTypeOn[15], 1);
    EXPECT_EQ(t.RetryDelay, 10);
    EXPECT_EQ(Names(t.Browsers), Names(s.Browsers));

    uint32_t n = 0;
    std::string text;
    EXPECT_FALSE(store.ReadNumber("GeneralOption", "RetryDelay", &n));
    EXPECT_TRUE(store.DeleteValue("PromptOption", "ClosePopWndSeconds"));
    EXPECT_FALSE(store.ReadNumber("PromptOption", "ClosePopWndSeconds", &n));
    EXPECT_FALSE(store.ReadNumber("Browser", "Monitor", &n));  // a text is no number
  }

  // A file edited by hand: unquoted commas, signs, junk.
  box.WriteFile("config/Quorlin/Edited.conf",
                "[Browser]\nMonitor=a.exe,b.exe\n"
                "[PromptOption]\nClosePopWndSeconds=abc\nClosePopWndWay= 2\n"
                "[GeneralOption]\nResumeTask=-1\n");
  platform::QtSettingsStore edited("Edited");
  Settings e;
  e.Load(edited, box.dir(), box.path("docs"));
  using B = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Names(e.Browsers), (B{{"a.exe", 1}, {"b.exe", 1}}));
  EXPECT_EQ(e.ClosePopWndSeconds, 20);
  EXPECT_EQ(e.ClosePopWndWay, 2);
  EXPECT_EQ(e.ResumeTask, 1);
}

TEST(StandardFolders, DocumentsFolderFollowsTheUserDirs) {
  testsupport::Sandbox box;
  ScopedEnv home("HOME", box.path("home").c_str());
  ScopedEnv config("XDG_CONFIG_HOME", box.path("config").c_str());
  platform::CreateFolders(box.path("home/Papers"));
  platform::CreateFolders(box.path("config"));
  box.WriteFile("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ(platform::DocumentsFolder(), box.path("home/Papers/"));
}

}  // namespace
