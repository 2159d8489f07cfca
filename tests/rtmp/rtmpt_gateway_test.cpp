// The test gateway is a faithful RTMPT server: ffmpeg's own rtmpt:// client
// records through it what nginx holds, packet for packet.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/nginx_peer.h"
#include "tests/support/rtmpt_gateway_peer.h"

namespace {

using testsupport::RunCommand;

TEST(RtmptGateway, FfmpegRecordsThroughItWhatNginxServes) {
  if (!testsupport::NginxPeer::Available() || !testsupport::HaveProgram("ffmpeg") ||
      !testsupport::RtmptGatewayPeer::Available())
    GTEST_SKIP() << "nginx with the RTMP module, ffmpeg or python3 is not installed";
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start()) << nginx.ErrorLog();
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(nginx.port()));
  const std::string source = nginx.media_dir() + "clip.flv";
  ASSERT_TRUE(testsupport::MakeTestFlv(source, 10, "libx264", "aac"));

  testsupport::Sandbox out;
  const std::string url = "rtmpt://127.0.0.1:" + std::to_string(gateway.port()) + "/vod/clip.flv";
  ASSERT_EQ(RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-rtmp_buffer", "36000000", "-i", url,
                        "-c", "copy", "-y", out.path("copy.flv")}),
            0)
      << gateway.Log();

  EXPECT_EQ(testsupport::CountMediaPackets(out.path("copy.flv")),
            testsupport::CountMediaPackets(source));
  const std::string log = gateway.Log();
  EXPECT_NE(log.find("REQ POST /open/1 "), std::string::npos) << log;
  EXPECT_NE(log.find("REQ POST /idle/"), std::string::npos) << log;
}

}  // namespace
