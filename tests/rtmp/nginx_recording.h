// What the tests that record from nginx's RTMP module share: a fixture with
// nginx running for each test, the recorder that keeps what each attempt
// did, and the checks every finished recording must pass.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/stream_attempt.h"
#include "rtmp/rtmp_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_stream_worker.h"
#include "tests/support/flv_media.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/rtmpt_gateway_peer.h"
#include "tests/support/sandbox.h"

namespace testsupport {

// Starts nginx with its RTMP module before each test; skips the test where
// nginx, ffmpeg or a further program the test asks for is missing.
class NginxRtmpTest : public ::testing::Test {
 protected:
  NginxRtmpTest(bool needsFfprobe, bool needsGateway)
      : needsFfprobe_(needsFfprobe), needsGateway_(needsGateway) {}

  void SetUp() override {
    if (!NginxPeer::Available() || !HaveProgram("ffmpeg") ||
        (needsFfprobe_ && !HaveProgram("ffprobe")) ||
        (needsGateway_ && !RtmptGatewayPeer::Available()))
      GTEST_SKIP() << Needed() << " is not installed";
    ASSERT_TRUE(nginx_.Start()) << nginx_.ErrorLog();
  }

  NginxPeer nginx_;
  Sandbox sandbox_;

 private:
  // "nginx with the RTMP module, ffmpeg, ffprobe or python3", as asked for.
  std::string Needed() const {
    std::vector<std::string> names = {"nginx with the RTMP module", "ffmpeg"};
    if (needsFfprobe_) names.push_back("ffprobe");
    if (needsGateway_) names.push_back("python3");
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
      text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
  }

  bool needsFfprobe_;
  bool needsGateway_;
};

// The last complete keyframe of a partial recording, or 0; for a file
// without video, with `audioWithoutVideo`, its last audio tag.
inline uint32_t LastKeyframe(const std::string& path, bool audioWithoutVideo) {
  uint32_t found = 0;
  const auto tags = ReadFlvTags(path);
  bool video = !audioWithoutVideo;
  for (const auto& tag : tags) video |= tag.type == 9;
  for (const auto& tag : tags)
    if (video ? tag.type == 9 && (tag.first_byte >> 4) == 1 : tag.type == 8) found = tag.timestamp;
  return found;
}

// The engine's recorder, keeping each attempt's result and where the file
// stood before each continued attempt (LastKeyframe).
class ObservedRecorder : public StreamRecorder {
 public:
  explicit ObservedRecorder(bool audioWithoutVideo = true)
      : audioWithoutVideo_(audioWithoutVideo) {}

  int RunAttempt(const StreamAttemptRequest& request, StreamWorker& worker,
                 bool firstAttempt) override {
    if (!firstAttempt)
      keyframesBefore.push_back(LastKeyframe(request.tempPath, audioWithoutVideo_));
    const int result = inner_.RunAttempt(request, worker, firstAttempt);
    results.push_back(result);
    return result;
  }
  std::vector<int> results;
  std::vector<uint32_t> keyframesBefore;

 private:
  bool audioWithoutVideo_;
  RtmpStreamRecorder inner_;
};

// The checks every finished recording must pass against the file it was
// recorded from (or another recording of it).
inline void ExpectSameMedia(const std::string& recorded, const std::string& reference) {
  EXPECT_EQ(DecodeErrors(recorded), "");
  const MediaFacts want = ProbeMedia(reference);
  const MediaFacts got = ProbeMedia(recorded);
  ASSERT_TRUE(want.ok && got.ok);
  EXPECT_NEAR(got.duration, want.duration, 0.5);
  EXPECT_EQ(got.audio_packets, want.audio_packets);
  EXPECT_EQ(got.video_packets, want.video_packets);
  // Per stream, time never goes back.
  uint32_t last[32] = {};
  for (const FlvTagInfo& tag : ReadFlvTags(recorded)) {
    EXPECT_GE(tag.timestamp, last[tag.type & 31]) << "tag at " << tag.offset;
    last[tag.type & 31] = tag.timestamp;
  }
}

}  // namespace testsupport
