#include "platform/atomic_file_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_system.h"
#include "tests/support/full_disk_writer.h"
#include "tests/support/sandbox.h"

namespace {

using testsupport::FullDiskWriter;

TEST(AtomicFileWriter, ReplacesOnlyOnCommit) {
  testsupport::Sandbox box;
  box.WriteFile("f", "old");
  const std::string temp = platform::AtomicFileWriter::TempPath(box.path("f"));
  {
    platform::AtomicFileWriter w;
    ASSERT_TRUE(w.Begin(box.path("f")));
    ASSERT_TRUE(w.Write("new content", 11));
    EXPECT_EQ(box.ReadFile("f"), "old");  // not before the commit
  }  // dropped without a commit
  EXPECT_EQ(box.ReadFile("f"), "old");
  EXPECT_FALSE(platform::FileExists(temp));

  platform::AtomicFileWriter w;
  ASSERT_TRUE(w.Begin(box.path("f")));
  ASSERT_TRUE(w.Write("new ", 4));
  ASSERT_TRUE(w.Write("content", 7));
  ASSERT_TRUE(w.Commit());
  EXPECT_EQ(box.ReadFile("f"), "new content");
  EXPECT_FALSE(platform::FileExists(temp));
}

TEST(AtomicFileWriter, AFullDiskLeavesTheOldFile) {
  testsupport::Sandbox box;
  box.WriteFile("f", "old");
  FullDiskWriter w(5);
  ASSERT_TRUE(w.Begin(box.path("f")));
  EXPECT_TRUE(w.Write("1234", 4));
  EXPECT_FALSE(w.Write("5678", 4));
  EXPECT_FALSE(w.Write("9", 1));  // stays failed
  EXPECT_FALSE(w.Commit());
  EXPECT_EQ(box.ReadFile("f"), "old");
  EXPECT_FALSE(platform::FileExists(platform::AtomicFileWriter::TempPath(box.path("f"))));
}

TEST(AtomicFileWriter, FailsWhereTheFolderIsMissing) {
  testsupport::Sandbox box;
  platform::AtomicFileWriter w;
  EXPECT_FALSE(w.Begin(box.path("none/f")));
  EXPECT_FALSE(w.Write("x", 1));
  EXPECT_FALSE(w.Commit());
}

}  // namespace
