#include "platform/autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using testsupport::ScopedEnv;

TEST(AutoStart, EntryIsWrittenAndRemoved) {
  testsupport::Sandbox box;
  ScopedEnv config("XDG_CONFIG_HOME", box.path("config").c_str());
  const std::string entry = box.path("config/autostart/tamborel.desktop");
  ASSERT_EQ(platform::AutoStartEntryPath(), entry);

  ASSERT_TRUE(platform::SetAutoStart(true, "/opt/tamborel/Tamborel"));
  std::string text = testsupport::ReadWholeFile(entry);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=/opt/tamborel/Tamborel -min\n"), std::string::npos);

  ASSERT_TRUE(platform::SetAutoStart(true, "/opt/other/Tamborel"));  // replaced, not added
  text = testsupport::ReadWholeFile(entry);
  EXPECT_EQ(text.find("/opt/tamborel/"), std::string::npos);
  EXPECT_NE(text.find("\nExec=/opt/other/Tamborel -min\n"), std::string::npos);

  EXPECT_TRUE(platform::SetAutoStart(false, ""));
  EXPECT_FALSE(platform::FileExists(entry));
  EXPECT_TRUE(platform::SetAutoStart(false, ""));  // already off

  EXPECT_FALSE(platform::SetAutoStart(true, ""));
  EXPECT_FALSE(platform::SetAutoStart(true, "/opt/a\nExec=/bin/evil"));
  EXPECT_FALSE(platform::FileExists(entry));
}

TEST(AutoStart, RelativeConfigHomeIsIgnored) {
  testsupport::Sandbox box;
  ScopedEnv home("HOME", box.path("home").c_str());
  ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
  EXPECT_EQ(platform::UserConfigFolder(), box.path("home/.config/"));
  ASSERT_TRUE(platform::SetAutoStart(true, "/usr/bin/Tamborel"));
  EXPECT_TRUE(platform::FileExists(box.path("home/.config/autostart/tamborel.desktop")));
}

TEST(AutoStart, ExecLineQuotesWhatDesktopEntriesWouldSplitOrExpand) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/bin/Tamborel", "/usr/bin/Tamborel -min"},
      {"/home/u/My Apps/Tamborel", "\"/home/u/My Apps/Tamborel\" -min"},
      {"/opt/$x/`y`/\"q\"", "\"/opt/\\\\$x/\\\\`y\\\\`/\\\\\"q\\\\\"\" -min"},
      {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\" -min"},
      {"/opt/100%/T", "\"/opt/100%%/T\" -min"},
  };
  for (const auto& [path, exec] : cases) EXPECT_EQ(platform::AutoStartExecLine(path), exec) << path;
}

}  // namespace
