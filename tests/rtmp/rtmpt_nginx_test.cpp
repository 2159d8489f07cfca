// CRTMPT through the test gateway to nginx: the tunnelled client receives
// every media message of the file, as the direct client does.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "rtmp/rtmpt.h"
#include "tests/rtmp/nginx_recording.h"

namespace {

bool IsCodecConfig(const RTMPPacket& p) {
  if (p.bodySize < 2) return false;
  const uint8_t* b = p.body.get();
  if (p.packetType == RTMP_PACKET_VIDEO) return (b[0] & 0x0F) == 7 && b[1] != 1;
  return (b[0] >> 4) == 10 && b[1] == 0;
}

class RtmptNginx : public testsupport::NginxRtmpTest {
 protected:
  RtmptNginx() : NginxRtmpTest(/*needsFfprobe=*/false, /*needsGateway=*/true) {}
};

TEST_F(RtmptNginx, PlaysEveryMediaMessageThroughTheGateway) {
  // Small answers make the client read across many of them.
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(nginx_.port(), {"--max-body", "5000"}));
  const std::string path = nginx_.media_dir() + "clip.flv";
  ASSERT_TRUE(testsupport::MakeTestFlv(path, 60, "libx264", "aac"));
  const int expected = testsupport::CountMediaPackets(path);
  ASSERT_GT(expected, 0);

  auto rtmpt = std::make_unique<CRTMPT>();
  rtmpt->SetBufferMS(36000000);
  const std::string tcUrl = "rtmpt://127.0.0.1:" + std::to_string(gateway.port()) + "/vod";
  ASSERT_TRUE(rtmpt->Connect(1, "127.0.0.1", gateway.port(), "clip.flv", tcUrl.c_str(), nullptr,
                             nullptr, "vod", nullptr, "LNX 10,0,22,87", nullptr, 0, 0, false,
                             12000))
      << gateway.Log();

  int media = 0, result;
  RTMPPacket packet;
  while ((result = rtmpt->GetNextMediaPacket(packet)) == CRTMP::MEDIA_PACKET) {
    if ((packet.packetType == RTMP_PACKET_AUDIO || packet.packetType == RTMP_PACKET_VIDEO) &&
        packet.bodySize > 0 && !IsCodecConfig(packet))
      ++media;
    packet.Reset();
  }
  EXPECT_EQ(result, CRTMP::MEDIA_END) << gateway.Log().substr(0, 4000);
  EXPECT_EQ(media, expected);
  EXPECT_NEAR(rtmpt->GetDuration(), 60, 0.5);
  // The client acknowledged what it received: an acknowledgement header
  // (channel 2, type 1, 4 bytes, message type 3) as a request of its own.
  EXPECT_NE(gateway.Log().find(" 8 4200000000000403\n"), std::string::npos);
}

}  // namespace
