#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_port.h"
#include "platform/shared_memory.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using platform::MessageParam;

struct Posted {
  uint32_t msg;
  MessageParam w, l;
  bool operator==(const Posted&) const = default;
};

// The window's services: keeps what the port posts.
class RecordingServices : public platform::WindowServices {
 public:
  void SetHandler(platform::MessageHandler*) override {}
  void Post(uint32_t msg, MessageParam w, MessageParam l) override {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back({msg, w, l});
    changed_.notify_all();
  }
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}

  std::vector<Posted> WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return posted_.size() >= count; });
    return posted_;
  }
  std::vector<Posted> Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Posted> posted_;
};

std::string Hex(platform::WindowHandle h) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "%08X", h);
  return buf;
}

class MessagePortTest : public ::testing::Test {
 protected:
  testsupport::Sandbox sandbox;
  testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", sandbox.dir().c_str()};
  RecordingServices services;
};

TEST_F(MessagePortTest, PostAndSendArriveWithTheirNumbersAndParameters) {
  platform::MessagePort port(&services);
  ASSERT_TRUE(port.Open());
  ASSERT_NE(port.Handle(), 0u);
  EXPECT_TRUE(platform::IsWindow(port.Handle()));

  const std::vector<Posted> cases = {
      {4024, 0x1234ABCD, 0},
      {2278, 0, -1},
      {2254, INTPTR_MAX, INTPTR_MIN},
  };
  for (const Posted& c : cases) ASSERT_TRUE(platform::PostWindowMessage(port.Handle(), c.msg, c.w, c.l));
  ASSERT_TRUE(platform::SendWindowMessage(port.Handle(), 2004, 5, 6));
  std::vector<Posted> expected = cases;
  expected.push_back({2004, 5, 6});
  EXPECT_EQ(services.WaitFor(4), expected);

  // From another process of the same user.
  EXPECT_EQ(testsupport::RunCommand({PORT_PROBE, "post", Hex(port.Handle())}), 0);
  EXPECT_EQ(services.WaitFor(5).back(), (Posted{4024, 7, 0}));
}

TEST_F(MessagePortTest, ClosedOrUnknownWindowsDoNotAnswer) {
  platform::MessagePort first(&services), second(&services);
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  EXPECT_NE(first.Handle(), second.Handle());
  const platform::WindowHandle gone = first.Handle();
  const std::string path = platform::MessagePortPath(gone);
  EXPECT_TRUE(std::filesystem::exists(path));
  first.Close();
  EXPECT_FALSE(std::filesystem::exists(path));

  for (platform::WindowHandle h : {gone, platform::WindowHandle{0}}) {
    EXPECT_FALSE(platform::IsWindow(h));
    EXPECT_FALSE(platform::PostWindowMessage(h, 4024, 1, 0));
    EXPECT_FALSE(platform::SendWindowMessage(h, 4024, 1, 0, 200));
  }
  EXPECT_TRUE(platform::PostWindowMessage(second.Handle(), 4024, 1, 0));
  EXPECT_EQ(services.WaitFor(1).size(), 1u);
}

TEST_F(MessagePortTest, APortLimitedToSomeNumbersRefusesTheRest) {
  platform::MessagePort port(&services);
  port.AcceptOnly({4024, 2279});
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(platform::PostWindowMessage(port.Handle(), 4024, 1, 0));
  EXPECT_FALSE(platform::PostWindowMessage(port.Handle(), 2278, 0x7FFF0000, 1));  // a pointer from outside
  EXPECT_FALSE(platform::SendWindowMessage(port.Handle(), 2285, 1, 2, 500));
  EXPECT_TRUE(platform::SendWindowMessage(port.Handle(), 2279, 0, 0x201));
  EXPECT_TRUE(platform::IsWindow(port.Handle()));
  EXPECT_EQ(services.WaitFor(2), (std::vector<Posted>{{4024, 1, 0}, {2279, 0, 0x201}}));
}

int ConnectRaw(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST_F(MessagePortTest, GarbageAndStalledClientsNeitherPostNorBlockThePort) {
  platform::MessagePort port(&services);
  ASSERT_TRUE(port.Open());
  const std::string path = platform::MessagePortPath(port.Handle());

  int garbage = ConnectRaw(path);
  ASSERT_GE(garbage, 0);
  char junk[32];
  std::memset(junk, 0x41, sizeof(junk));
  ASSERT_EQ(::send(garbage, junk, sizeof(junk), MSG_NOSIGNAL), 32);
  char reply;
  EXPECT_EQ(::recv(garbage, &reply, 1, 0), 0);  // closed without an answer
  ::close(garbage);

  int stalled = ConnectRaw(path);
  ASSERT_GE(stalled, 0);
  ASSERT_EQ(::send(stalled, junk, 5, MSG_NOSIGNAL), 5);
  EXPECT_TRUE(platform::PostWindowMessage(port.Handle(), 4024, 3, 0));
  ::close(stalled);
  EXPECT_EQ(services.WaitFor(1), (std::vector<Posted>{{4024, 3, 0}}));
}

TEST(RuntimeFolder, OnlyARealPrivateFolderOfThisUser) {
  testsupport::Sandbox sandbox;
  const std::string good = sandbox.path("good"), open = sandbox.path("open"), file = sandbox.path("file"),
                    link = sandbox.path("link");
  ASSERT_EQ(::mkdir(good.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
  sandbox.WriteFile("file", "x");
  ASSERT_EQ(::chmod(file.c_str(), 0700), 0);
  ASSERT_EQ(::symlink(good.c_str(), link.c_str()), 0);

  const struct {
    std::string env;
    std::string expected;
  } cases[] = {
      {good, good}, {good + "/", good}, {open, ""}, {file, ""}, {link, ""}, {sandbox.path("missing"), ""},
  };
  for (const auto& c : cases) {
    testsupport::ScopedEnv env("XDG_RUNTIME_DIR", c.env.c_str());
    EXPECT_EQ(platform::RuntimeFolder(), c.expected) << c.env;
  }
  // A port cannot open where the folder is refused.
  testsupport::ScopedEnv env("XDG_RUNTIME_DIR", open.c_str());
  RecordingServices services;
  platform::MessagePort port(&services);
  EXPECT_FALSE(port.Open());
}

TEST(RuntimeFolder, FallsBackToAPrivateFolderInTmp) {
  testsupport::ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
  const std::string expected = "/tmp/tamborel-runtime-" + std::to_string(::geteuid());
  EXPECT_EQ(platform::RuntimeFolder(), expected);
  struct stat st;
  ASSERT_EQ(::lstat(expected.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// Runs the probe as the user nobody; its exit code, or -1 when that cannot be arranged.
int ProbeAsNobody(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", PORT_PROBE};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::RunCommand(argv);
}

class OtherUserTest : public MessagePortTest {
 protected:
  void SetUp() override {
    if (::geteuid() != 0 || !testsupport::HaveProgram("setpriv"))
      GTEST_SKIP() << "needs root and setpriv to run a client as another user";
  }
};

TEST_F(OtherUserTest, AnotherUserCannotReachThePort) {
  platform::MessagePort port(&services);
  ASSERT_TRUE(port.Open());
  const std::string path = platform::MessagePortPath(port.Handle());

  // Through its own runtime folder lookup, and straight at the socket.
  EXPECT_EQ(ProbeAsNobody({"post", Hex(port.Handle())}), 1);
  EXPECT_EQ(ProbeAsNobody({"raw", path}), 3);

  // Even with the folder and the socket opened up, the port checks who calls.
  ASSERT_EQ(::chmod(sandbox.dir().c_str(), 0711), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0777), 0);
  EXPECT_EQ(ProbeAsNobody({"raw", path}), 1);
  ASSERT_EQ(::chmod(sandbox.dir().c_str(), 0700), 0);

  EXPECT_TRUE(services.Now().empty());
  // The same probe as this user gets through: the refusals above were about the user.
  EXPECT_EQ(testsupport::RunCommand({PORT_PROBE, "raw", path}), 0);
  EXPECT_EQ(services.WaitFor(1).size(), 1u);
}

TEST_F(OtherUserTest, BlocksStayBetweenProcessesOfOneUser) {
  const std::string ours = "tamborel-test-ours-" + std::to_string(::getpid());
  const std::string theirs = "tamborel-test-theirs-" + std::to_string(::getpid());
  platform::SharedMemory block;
  ASSERT_TRUE(block.Create(ours, 776));
  EXPECT_EQ(ProbeAsNobody({"open", ours, "776"}), 1);
  EXPECT_EQ(testsupport::RunCommand({PORT_PROBE, "open", ours, "776"}), 0);

  // A block another user put under a name we use is not taken for ours.
  platform::SharedMemory::Unlink(theirs);
  ASSERT_EQ(ProbeAsNobody({"create", theirs, "24540"}), 0);
  platform::SharedMemory planted;
  uint8_t copy[16];
  EXPECT_FALSE(planted.Open(theirs, 24540, false));
  EXPECT_FALSE(planted.Create(theirs, 24540));
  EXPECT_FALSE(platform::SharedMemory::ReadCopy(theirs, copy, sizeof(copy)));
  platform::SharedMemory::Unlink(theirs);
  platform::SharedMemory::Unlink(ours);
}

}  // namespace
