#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/data_folder.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

TEST(DataFolder, PrivateFolderUnderXdgDataHomeElseHome) {
  testsupport::Sandbox box;
  {
    testsupport::ScopedEnv data("XDG_DATA_HOME", box.path("data").c_str());
    const std::string folder = platform::UserDataFolder();
    EXPECT_EQ(folder, box.path("data/Quorlin/Tamborel/"));
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  // A relative XDG_DATA_HOME does not count.
  testsupport::ScopedEnv data("XDG_DATA_HOME", "relative/data");
  testsupport::ScopedEnv home("HOME", box.path("home").c_str());
  EXPECT_EQ(platform::UserDataFolder("Pellumo"), box.path("home/.local/share/Quorlin/Pellumo/"));
}

}  // namespace
