#include <gtest/gtest.h>

#include <QString>

#include "platform/message_port.h"
#include "platform/qt/qt_window_services.h"
#include "platform/shared_memory.h"
#include "player/forward_file.h"
#include "player/instance_record.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

TEST(InstanceRecord, HandleAsEightLowercaseHexDigitsInUtf16) {
  auto bytes = EncodeInstanceRecord(0x00ab12cd);
  std::string expected;
  for (char c : std::string("00ab12cd")) expected += {c, '\0'};
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), expected);
  EXPECT_EQ(ParseInstanceRecord(bytes.data(), bytes.size()), 0x00ab12cdu);
}

TEST(InstanceRecord, ParsingStopsAtTheFirstOtherCharacter) {
  const uint8_t partial[] = {'1', 0, 'F', 0, 'z', 0, '9', 0};
  EXPECT_EQ(ParseInstanceRecord(partial, sizeof partial), 0x1Fu);
  const uint8_t wide[] = {'7', 0x04, '1', 0};  // not an ASCII digit
  EXPECT_EQ(ParseInstanceRecord(wide, sizeof wide), 0u);
}

TEST(InstanceRecord, FindsALiveInstanceAndIgnoresAStaleOne) {
  testsupport::Sandbox box;
  testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", box.dir().c_str());
  const std::string name = "pellumo-test-" + std::to_string(::getpid());

  EXPECT_EQ(FindRunningInstance(name), 0u);
  platform::WindowHandle handle = 0;
  {
    platform::QtWindowServices services;
    platform::MessagePort port(&services);
    ASSERT_TRUE(port.Open());
    handle = port.Handle();
    CInstanceMutex record;
    ASSERT_TRUE(record.Create(handle, name));
    EXPECT_EQ(FindRunningInstance(name), handle);
    port.Close();
    // The process that wrote the record is gone as far as its window goes.
    EXPECT_EQ(FindRunningInstance(name), 0u);
  }
  // And the record went with its owner.
  platform::SharedMemory block;
  EXPECT_FALSE(block.Open(name, kInstanceRecordSize, false));
}

TEST(ForwardFile, LengthLimitAndFormat) {
  testsupport::Sandbox box;
  const std::string path = box.path("OpenFlvFile.txt");
  struct Case { int length; bool readable; };
  for (Case c : {Case{1, true}, Case{3000, true}, Case{3001, false}}) {
    QString text(c.length, QChar(u'\u00e9'));
    ASSERT_TRUE(WriteForwardFile(path, text));
    EXPECT_EQ(testsupport::ReadWholeFile(path).size(), static_cast<size_t>(2 * c.length));
    std::optional<QString> back = ReadForwardFile(path);
    EXPECT_EQ(back.has_value(), c.readable) << c.length;
    if (back) {
      EXPECT_EQ(*back, text);
    }
  }
  EXPECT_EQ(testsupport::ReadWholeFile(path).substr(0, 2), std::string("\xe9\0", 2));
  EXPECT_FALSE(ReadForwardFile(box.path("missing.txt")).has_value());
  // The text ends at a NUL code unit.
  box.WriteFile("nul.txt", std::string("a\0b\0\0\0c\0", 8));
  EXPECT_EQ(ReadForwardFile(box.path("nul.txt")).value(), "ab");
}

TEST(ForwardFile, LivesInTheDocumentsFolder) {
  testsupport::Sandbox box;
  testsupport::ScopedEnv home("HOME", box.dir().c_str());
  testsupport::ScopedEnv docs("XDG_DOCUMENTS_DIR", (box.dir() + "Docs").c_str());
  testsupport::ScopedEnv config("XDG_CONFIG_HOME", (box.dir() + "config").c_str());
  std::string path = ForwardFilePath();
  EXPECT_EQ(path.substr(path.size() - 15), "OpenFlvFile.txt");
  EXPECT_EQ(path.rfind(box.dir(), 0), 0u) << path;
  EXPECT_TRUE(WriteForwardFile(path, "x"));
}

}  // namespace
