#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/program_dir.h"

#include <gtest/gtest.h>

#include "tests/support/sandbox.h"

namespace {

TEST(FileSystem, RenameRefusesToReplaceButReplaceFileDoes) {
  testsupport::Sandbox box;
  box.WriteFile("a", "old");
  box.WriteFile("b", "new");
  EXPECT_FALSE(platform::RenameFile(box.path("b"), box.path("a")));
  EXPECT_EQ(box.ReadFile("a"), "old");
  EXPECT_TRUE(platform::ReplaceFile(box.path("b"), box.path("a")));
  EXPECT_EQ(box.ReadFile("a"), "new");
  EXPECT_FALSE(platform::FileExists(box.path("b")));
  EXPECT_TRUE(platform::RenameFile(box.path("a"), box.path("c")));
  EXPECT_EQ(platform::FileSize(box.path("c")), 3);
}

TEST(FileSystem, SizeAndDeleteOfMissingFiles) {
  testsupport::Sandbox box;
  EXPECT_EQ(platform::FileSize(box.path("none")), -1);
  EXPECT_EQ(platform::FileSize(box.dir()), -1);  // a folder has no file size
  EXPECT_TRUE(platform::DeleteFile(box.path("none")));
  EXPECT_TRUE(platform::CreateFolders(box.path("x/y/z/")));
  EXPECT_TRUE(platform::FileExists(box.path("x/y/z")));
}

TEST(ProgramDir, EndsWithSeparatorAndHoldsTheTest) {
  std::string dir = platform::ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(platform::FileExists(dir + "test_platform"));
}

TEST(LocalTime, Format) {
  std::string t = platform::LocalTimeText(0);
  ASSERT_EQ(t.size(), 19u);
  EXPECT_EQ(t[4], '-');
  EXPECT_EQ(t[10], ' ');
  EXPECT_EQ(t[16], ':');
}

}  // namespace
