// CRTMP against nginx's RTMP module: every audio and video message of a file
// made by ffmpeg arrives, and the metadata gives duration and file size.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "rtmp/rtmp.h"
#include "tests/support/nginx_peer.h"

namespace {

struct MediaCase {
  const char* file;
  const char* videoCodec;
  const char* audioCodec;
};

void PrintTo(const MediaCase& c, std::ostream* os) { *os << c.file; }

class RtmpNginx : public ::testing::TestWithParam<MediaCase> {};

// Audio and video tags of an FLV file.
int CountFlvMediaTags(const std::string& path) {
  const std::string d = testsupport::ReadWholeFile(path);
  int count = 0;
  for (size_t pos = 13; pos + 11 <= d.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(d.data() + pos);
    if (p[0] == 8 || p[0] == 9) ++count;
    pos += 11 + ((p[1] << 16) | (p[2] << 8) | p[3]) + 4;
  }
  return count;
}

// Codec configuration messages (AVC and AAC sequence headers, the AVC end of
// sequence) are FLV tags but not packets to ffprobe.
bool IsCodecConfig(const RTMPPacket& p) {
  if (p.bodySize < 2) return false;
  const uint8_t* b = p.body.get();
  if (p.packetType == RTMP_PACKET_VIDEO) return (b[0] & 0x0F) == 7 && b[1] != 1;
  return (b[0] >> 4) == 10 && b[1] == 0;
}

TEST_P(RtmpNginx, PlaysEveryMediaMessageOfTheFile) {
  if (!testsupport::NginxPeer::Available() || !testsupport::HaveProgram("ffmpeg"))
    GTEST_SKIP() << "nginx with the RTMP module, or ffmpeg, is not installed";
  const MediaCase& c = GetParam();
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start()) << nginx.ErrorLog();
  const std::string path = nginx.media_dir() + c.file;
  ASSERT_TRUE(testsupport::MakeTestFlv(path, 60, c.videoCodec, c.audioCodec));
  const int expected = testsupport::CountMediaPackets(path);
  const int tags = CountFlvMediaTags(path);
  ASSERT_GT(expected, 0);

  auto rtmp = std::make_unique<CRTMP>();
  rtmp->SetBufferMS(36000000);
  const std::string tcUrl = "rtmp://127.0.0.1:" + std::to_string(nginx.port()) + "/vod";
  ASSERT_TRUE(rtmp->Connect(0, nginx.host(), nginx.port(), c.file, tcUrl.c_str(), nullptr, nullptr,
                            nginx.app(), nullptr, "LNX 10,0,22,87", nullptr, 0, 0, false, 12000))
      << nginx.ErrorLog();

  int media = 0, config = 0, metadata = 0, result;
  RTMPPacket packet;
  while ((result = rtmp->GetNextMediaPacket(packet)) == CRTMP::MEDIA_PACKET) {
    if (packet.packetType == RTMP_PACKET_AUDIO || packet.packetType == RTMP_PACKET_VIDEO) {
      if (IsCodecConfig(packet))
        ++config;
      else if (packet.bodySize > 0)
        ++media;
    } else if (packet.packetType == RTMP_PACKET_INFO) {
      ++metadata;
    }
    packet.Reset();
  }
  EXPECT_EQ(result, CRTMP::MEDIA_END) << nginx.ErrorLog();
  EXPECT_EQ(media, expected);
  EXPECT_EQ(media + config, tags);
  EXPECT_EQ(metadata, 1);
  EXPECT_NEAR(rtmp->GetDuration(), 60, 0.5);
  EXPECT_GT(rtmp->GetFileSize(), 0);
  rtmp->Close();
}

INSTANTIATE_TEST_SUITE_P(Files, RtmpNginx,
                         ::testing::Values(MediaCase{"h264_aac.flv", "libx264", "aac"},
                                           MediaCase{"h263_mp3.flv", "flv", "libmp3lame"}),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
