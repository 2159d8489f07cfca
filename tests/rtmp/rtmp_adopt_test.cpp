// CRTMP over an adopted socket, the way the chunk-reader fuzz target feeds it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "rtmp/rtmp.h"
#include "tests/peers/rtmp_script_server.h"

using namespace testpeers;

namespace {

std::string ReadAll(int fd) {
  std::string out;
  char buf[512];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  return out;
}

TEST(RtmpAdoptSocket, ReadsChunksAndSendsOnTheAdoptedStream) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  const std::string body(300, 'v');
  const std::string stream = chunk::Type0(6, 40, 300, 9, 1) + body.substr(0, 128) +
                             chunk::Type3(6) + body.substr(128, 128) + chunk::Type3(6) +
                             body.substr(256);
  ASSERT_EQ(::write(fds[0], stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
  ::shutdown(fds[0], SHUT_WR);

  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(rtmp->AdoptSocket(fds[1]));
  EXPECT_TRUE(rtmp->IsConnected());
  RTMPPacket packet;
  for (int chunk = 0; chunk < 3; ++chunk) {
    ASSERT_TRUE(rtmp->ReadPacket(packet));
    EXPECT_EQ(packet.channel, 6);
    EXPECT_EQ(packet.IsComplete(), chunk == 2);
    if (chunk < 2) {
      packet.Reset();
      packet.channel = 6;
    }
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet.body.get()), packet.bodySize), body);
  EXPECT_EQ(packet.absTimestamp, 40);

  // Nothing was sent on adoption; a ping reply goes out on the same stream.
  EXPECT_TRUE(rtmp->SendPing(7, 12345, 0));
  packet.Reset();
  EXPECT_FALSE(rtmp->ReadPacket(packet));  // the end of the stream
  EXPECT_FALSE(rtmp->IsConnected());
  const std::string sent = ReadAll(fds[0]);
  EXPECT_EQ(sent, chunk::Type1(2, 0, 6, 4) + std::string("\x00\x07\x00\x00\x30\x39", 6));
  ::close(fds[0]);
}

}  // namespace
