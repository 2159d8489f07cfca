#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/shared_memory.h"

namespace {

std::string UniqueName(const char* what) {
  static int counter = 0;
  return std::string("tamborel-test-") + what + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

struct BlockName {
  explicit BlockName(const char* what) : name(UniqueName(what)) {}
  ~BlockName() { platform::SharedMemory::Unlink(name); }
  std::string name;
};

TEST(SharedMemory, CreatorAndReadersShareOnePrivateZeroFilledBlock) {
  BlockName b("share");
  platform::SharedMemory creator;
  bool existed = true;
  ASSERT_TRUE(creator.Create(b.name, 776, &existed));
  EXPECT_FALSE(existed);
  for (size_t i = 0; i < 776; ++i) ASSERT_EQ(creator.Data()[i], 0) << i;

  struct stat st;
  ASSERT_EQ(::stat(("/dev/shm/" + b.name).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::memcpy(creator.Data() + 260, "\x78\x56\x34\x12", 4);
  platform::SharedMemory reader;
  ASSERT_TRUE(reader.Open(b.name, 776, false));
  EXPECT_EQ(std::memcmp(reader.Data() + 260, "\x78\x56\x34\x12", 4), 0);

  // A second creator finds the block with what is in it.
  platform::SharedMemory again;
  ASSERT_TRUE(again.Create(b.name, 776, &existed));
  EXPECT_TRUE(existed);
  EXPECT_EQ(again.Data()[260], 0x78);

  uint8_t copy[776];
  ASSERT_TRUE(platform::SharedMemory::ReadCopy(b.name, copy, sizeof(copy)));
  EXPECT_EQ(copy[263], 0x12);

  // Views stay valid after the name goes; new opens fail.
  ASSERT_TRUE(platform::SharedMemory::Unlink(b.name));
  EXPECT_EQ(reader.Data()[261], 0x56);
  platform::SharedMemory late;
  EXPECT_FALSE(late.Open(b.name, 776, false));
}

TEST(SharedMemory, RefusesBlocksThatCannotHoldTheLayout) {
  BlockName b("short");
  platform::SharedMemory small;
  ASSERT_TRUE(small.Create(b.name, 100));
  uint8_t buf[200];
  platform::SharedMemory reader;
  EXPECT_FALSE(reader.Open(b.name, 200, false));
  EXPECT_FALSE(platform::SharedMemory::ReadCopy(b.name, buf, sizeof(buf)));
  EXPECT_TRUE(platform::SharedMemory::ReadCopy(b.name, buf, 100));

  for (const char* bad : {"", "a/b", "/lead"}) {
    EXPECT_FALSE(reader.Create(bad, 10)) << bad;
    EXPECT_FALSE(reader.Open(bad, 10, false)) << bad;
  }
  EXPECT_FALSE(reader.Open("tamborel-test-missing-block", 10, false));
  EXPECT_FALSE(reader.IsOpen());
}

}  // namespace
