// The test gateway is a faithful RTMPT server: ffmpeg's own rtmpt:// client
// records through it what nginx holds, packet for packet.
#include <gtest/gtest.h>

#include <string>

#include "tests/rtmp/nginx_recording.h"

namespace {

using testsupport::RunCommand;

class RtmptGateway : public testsupport::NginxRtmpTest {
 protected:
  RtmptGateway() : NginxRtmpTest(/*needsFfprobe=*/false, /*needsGateway=*/true) {}
};

TEST_F(RtmptGateway, FfmpegRecordsThroughItWhatNginxServes) {
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(nginx_.port()));
  const std::string source = nginx_.media_dir() + "clip.flv";
  ASSERT_TRUE(testsupport::MakeMediaFlv(source, 10, "libx264", "aac"));

  testsupport::Sandbox out;
  const std::string url = "rtmpt://127.0.0.1:" + std::to_string(gateway.port()) + "/vod/clip.flv";
  ASSERT_EQ(RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-rtmp_buffer", "36000000", "-i", url,
                        "-c", "copy", "-y", out.path("copy.flv")}),
            0)
      << gateway.Log();

  const testsupport::MediaFacts want = testsupport::ProbeMedia(source);
  const testsupport::MediaFacts got = testsupport::ProbeMedia(out.path("copy.flv"));
  ASSERT_TRUE(want.ok && got.ok);
  EXPECT_EQ(got.audio_packets, want.audio_packets);
  EXPECT_EQ(got.video_packets, want.video_packets);
  EXPECT_NEAR(got.duration, want.duration, 0.5);
  EXPECT_EQ(testsupport::DecodeErrors(out.path("copy.flv")), "");
  const std::string log = gateway.Log();
  EXPECT_NE(log.find("REQ POST /open/1 "), std::string::npos) << log;
  EXPECT_NE(log.find("REQ POST /idle/"), std::string::npos) << log;
}

}  // namespace
