// Whole RTMP tasks against nginx's RTMP module, through the worker's retry
// loop: fresh recordings of ffmpeg-made files, recordings cut by a proxy and
// continued from the last keyframe, a damaged temporary file, and an address
// with its own port.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "core/stream_retry_loop.h"
#include "core/task_event_codes.h"
#include "rtmp/stream_address.h"
#include "tests/peers/fault_proxy.h"
#include "tests/rtmp/nginx_recording.h"

namespace {

using testsupport::ExpectSameMedia;
using testsupport::FakeStreamWorker;
using testsupport::ObservedRecorder;

struct MediaCase {
  const char* name;
  const char* videoCodec;
  const char* audioCodec;
  uint8_t flags;  // header flags of a fresh recording
};

void PrintTo(const MediaCase& c, std::ostream* os) { *os << c.name; }

const MediaCase kCases[] = {
    {"h264_aac", "libx264", "aac", 0x05},
    {"h263_mp3", "flv", "libmp3lame", 0x05},
    {"video_only", "libx264", "", 0x01},
    {"audio_only", "", "aac", 0x04},
};

class RtmpTask : public testsupport::NginxRtmpTest {
 protected:
  RtmpTask() : NginxRtmpTest(/*needsFfprobe=*/true, /*needsGateway=*/false) {}

  // A test file in nginx's folder; returns its path.
  std::string Media(const MediaCase& c, int seconds) {
    const std::string path = nginx_.media_dir() + c.name + ".flv";
    EXPECT_TRUE(testsupport::MakeMediaFlv(path, seconds, c.videoCodec, c.audioCodec));
    return path;
  }

  // Runs the task "rtmp://127.0.0.1:<port>/vod/<name>" to its end.
  int Record(const std::string& name, int port, const std::string& temp) {
    StreamTaskTexts texts;
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(port) + "/vod/" + name + ".flv";
    EXPECT_TRUE(SplitStreamTaskAddress(url, texts.host, texts.playPath, texts.app));
    texts.tempPath = temp;
    return RunStreamRetryLoop(recorder_, false, texts, worker_);
  }

  uint8_t HeaderFlags(const std::string& path) {
    const std::string d = testsupport::ReadWholeFile(path);
    return d.size() > 4 ? uint8_t(d[4]) : 0xFF;
  }

  FakeStreamWorker worker_;
  ObservedRecorder recorder_;
};

class RtmpTaskMedia : public RtmpTask, public ::testing::WithParamInterface<MediaCase> {};

TEST_P(RtmpTaskMedia, FreshRecordingIsTheSourceFile) {
  const MediaCase& c = GetParam();
  const std::string source = Media(c, 4);
  const std::string temp = sandbox_.path("out.flv");
  EXPECT_EQ(Record(c.name, nginx_.port(), temp), ATTEMPT_COMPLETED) << nginx_.ErrorLog();
  EXPECT_EQ(recorder_.results, std::vector<int>{ATTEMPT_COMPLETED});
  EXPECT_TRUE(worker_.HasEvent(TE_COMPLETED, "Download Completed."));
  EXPECT_FALSE(worker_.HasClient());
  ExpectSameMedia(temp, source);
  EXPECT_EQ(HeaderFlags(temp), c.flags);
}

INSTANTIATE_TEST_SUITE_P(Files, RtmpTaskMedia, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Where the proxy cuts each connection, in per cent of the source file;
// -1 lets a connection through. nginx answers a seek with the keyframe after
// the one asked for, so a continued attempt takes two connections there: the
// first is dropped at its first message and the second starts a keyframe
// earlier. In a file without video it cannot seek and starts from the top,
// so each continued attempt takes one connection, and everything before the
// join (well over 50 audio frames at these cuts) is dropped on the way.
struct CutCase {
  MediaCase media;
  std::vector<int> percents;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.media.name; }

class RtmpTaskCut : public RtmpTask, public ::testing::WithParamInterface<CutCase> {};

// Cut twice (at 30 % and 70 %, say): each break gives result 8 and
// the next attempt continues after the file's last keyframe.
TEST_P(RtmpTaskCut, ContinuesAfterTheLastKeyframeEachTime) {
  const CutCase& c = GetParam();
  const std::string source = Media(c.media, 8);
  const int64_t size = int64_t(testsupport::ReadWholeFile(source).size());
  std::vector<int64_t> cuts;
  for (int percent : c.percents) cuts.push_back(percent < 0 ? -1 : size * percent / 100);
  testpeers::FaultProxy proxy;
  ASSERT_TRUE(proxy.Start(nginx_.port(), cuts));
  const std::string temp = sandbox_.path("out.flv");
  EXPECT_EQ(Record(c.media.name, proxy.port(), temp), ATTEMPT_COMPLETED) << nginx_.ErrorLog();
  EXPECT_EQ(proxy.cuts(), 2);
  EXPECT_EQ(recorder_.results,
            (std::vector<int>{ATTEMPT_BROKEN, ATTEMPT_BROKEN, ATTEMPT_COMPLETED}));
  // Each break left a keyframe to continue from, later the second time; the
  // tags after it were recorded again exactly once (the counts below).
  ASSERT_EQ(recorder_.keyframesBefore.size(), 2u);
  EXPECT_GT(recorder_.keyframesBefore[0], 0u);
  EXPECT_GT(recorder_.keyframesBefore[1], recorder_.keyframesBefore[0]);
  ExpectSameMedia(temp, source);
  EXPECT_EQ(HeaderFlags(temp), c.media.flags);
}

INSTANTIATE_TEST_SUITE_P(Files, RtmpTaskCut,
                         ::testing::Values(CutCase{kCases[0], {30, -1, 40}},
                                           CutCase{kCases[1], {30, -1, 40}},
                                           CutCase{kCases[2], {30, -1, 40}},
                                           CutCase{kCases[3], {30, 40, -1}}),
                         [](const auto& info) { return std::string(info.param.media.name); });

TEST_F(RtmpTask, DamagedTemporaryFileIsRecordedAfresh) {
  const std::string source = Media(kCases[0], 4);
  const std::string temp = sandbox_.path("out.flv");
  ASSERT_EQ(Record(kCases[0].name, nginx_.port(), temp), ATTEMPT_COMPLETED);
  std::string damaged = testsupport::ReadWholeFile(temp);
  damaged.resize(damaged.size() / 2);  // cut, so it would be continued...
  damaged[4] = 0x00;                   // ...but the header says neither audio nor video
  testsupport::WriteWholeFile(temp, damaged);

  recorder_.results.clear();
  EXPECT_EQ(Record(kCases[0].name, nginx_.port(), temp), ATTEMPT_COMPLETED);
  EXPECT_EQ(recorder_.results, (std::vector<int>{ATTEMPT_FILE_UNUSABLE, ATTEMPT_COMPLETED}));
  ExpectSameMedia(temp, source);
  EXPECT_EQ(HeaderFlags(temp), 0x05);
}

// nginx always listens on a port other than 1935 here, so the task's host
// field carries it, and the first attempt says where it connects.
TEST_F(RtmpTask, AddressWithItsOwnPortIsRecordedFromThatPort) {
  const std::string source = Media(kCases[0], 2);
  std::string host, playPath, app;
  const std::string port = std::to_string(nginx_.port());
  ASSERT_TRUE(SplitStreamTaskAddress("rtmp://127.0.0.1:" + port + "/vod/h264_aac.flv", host,
                                     playPath, app));
  EXPECT_EQ(host, "127.0.0.1:" + port);
  const std::string temp = sandbox_.path("out.flv");
  EXPECT_EQ(Record("h264_aac", nginx_.port(), temp), ATTEMPT_COMPLETED);
  ASSERT_FALSE(worker_.logs.empty());
  EXPECT_EQ(worker_.logs[0].text, "Connecting 127.0.0.1:" + port + "...");
  ExpectSameMedia(temp, source);
}

}  // namespace
