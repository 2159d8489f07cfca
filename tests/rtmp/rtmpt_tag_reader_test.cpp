// Where the tunnelled recorder's tag reader differs from the direct one: the
// messages it drops as too short, and what it logs on a broken aggregate and
// at the end of the stream.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rtmp/rtmp.h"
#include "rtmp/rtmp_download.h"
#include "tests/rtmp/captured_diag.h"

namespace {

// The reader's count for one complete message of `type` with `body`.
int Tag(bool tunnelled, uint8_t type, const std::string& body,
        int mediaResult = CRTMP::MEDIA_PACKET) {
  CRTMPDownload d;
  d.tunnelled = tunnelled;
  if (!d.AllocateOutputBuffer()) return -100;
  RTMPPacket packet;
  packet.packetType = type;
  packet.bodySize = uint32_t(body.size());
  if (!body.empty()) {
    packet.Alloc(int64_t(body.size()));
    std::memcpy(packet.body.get(), body.data(), body.size());
    packet.bytesRead = packet.bodySize;
  }
  uint32_t timestamp = 0;
  return d.TagFromPacket(packet, mediaResult, timestamp);
}

TEST(RtmptTagReader, DropsVideoOfFiveBytesAndAudioOfOneByte) {
  struct Case {
    const char* name;
    uint8_t type;
    std::string body;
    int direct, tunnelled;
  };
  const Case cases[] = {
      {"video of 5 bytes", 9, std::string("\x17\x02\0\0\0", 5), 20, 0},
      {"video of 6 bytes", 9, std::string("\x27\x01\0\0\0\x01", 6), 21, 21},
      {"video info frame of 2 bytes", 9, std::string("\x50\x00", 2), 0, 0},
      {"audio of 1 byte", 8, "\xaf", 16, 0},
      {"audio of 2 bytes", 8, "\xaf\x01", 17, 17},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Tag(false, c.type, c.body), c.direct) << c.name;
    EXPECT_EQ(Tag(true, c.type, c.body), c.tunnelled) << c.name;
  }
}

TEST(RtmptTagReader, LogsABrokenAggregateAndTheEndOfTheStream) {
  // An aggregate whose one tag claims 0x20 bytes of data but carries 4.
  const std::string aggregate = std::string("\x09\x00\x00\x20\0\0\0\0\0\0\0", 11) + "data";
  const std::string end = "Got Play.Complete or Play.Stop from server. Assuming stream is complete";
  for (bool tunnelled : {false, true}) {
    CapturedDiag diag(DIAG_DEBUG);
    EXPECT_EQ(Tag(tunnelled, 22, aggregate), -2);
    EXPECT_EQ(diag.Count("ERROR: Wrong data size (32), stream corrupted, aborting!"),
              tunnelled ? 1 : 0);
    EXPECT_EQ(Tag(tunnelled, 9, std::string("\x27\x01\0\0\0\x01", 6), CRTMP::MEDIA_END), 0);
    EXPECT_EQ(diag.Count("DEBUG: " + end), tunnelled ? 1 : 0);
  }
}

}  // namespace
