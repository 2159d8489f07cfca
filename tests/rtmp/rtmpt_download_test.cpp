// Recording rtmpt:// tasks: the worker's retry loop around
// CRTMPDownload::RunTunnelled, through the test gateway in front of nginx and
// compared with the rtmp:// task of the same file; and the attempt's own
// texts and port against the scripted tunnel server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/stream_retry_loop.h"
#include "core/task_event_codes.h"
#include "rtmp/rtmp_download.h"
#include "rtmp/stream_address.h"
#include "tests/peers/rtmpt_script_server.h"
#include "tests/rtmp/clip_attempt.h"
#include "tests/rtmp/nginx_recording.h"

namespace {

using testsupport::ExpectSameMedia;
using testsupport::FakeStreamWorker;

// Every file here has video: a partial recording without any has no keyframe
// to go on from.
class ObservedRecorder : public testsupport::ObservedRecorder {
 public:
  ObservedRecorder() : testsupport::ObservedRecorder(/*audioWithoutVideo=*/false) {}
};

// Reports, for failure messages.
std::string Reports(FakeStreamWorker& worker) {
  std::string out;
  for (const auto& e : worker.Events()) out += std::to_string(e.code) + " " + e.text + "\n";
  return out;
}

struct MediaCase {
  const char* name;
  const char* videoCodec;
  const char* audioCodec;
};

void PrintTo(const MediaCase& c, std::ostream* os) { *os << c.name; }

class RtmptTask : public testsupport::NginxRtmpTest,
                  public ::testing::WithParamInterface<MediaCase> {
 protected:
  RtmptTask() : NginxRtmpTest(/*needsFfprobe=*/true, /*needsGateway=*/true) {}

  void SetUp() override {
    NginxRtmpTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const MediaCase& c = GetParam();
    source_ = nginx_.media_dir() + c.name + ".flv";
    ASSERT_TRUE(testsupport::MakeMediaFlv(source_, 8, c.videoCodec, c.audioCodec));
  }

  // Runs "<scheme>://127.0.0.1:<port>/vod/<name>.flv" through the retry loop.
  int Record(bool tunnelled, int port, const std::string& temp, FakeStreamWorker& worker,
             ObservedRecorder& recorder) {
    StreamTaskTexts texts;
    const std::string url = std::string(tunnelled ? "rtmpt" : "rtmp") +
                            "://127.0.0.1:" + std::to_string(port) + "/vod/" + GetParam().name +
                            ".flv";
    EXPECT_TRUE(SplitStreamTaskAddress(url, texts.host, texts.playPath, texts.app));
    texts.tempPath = temp;
    return RunStreamRetryLoop(recorder, tunnelled, texts, worker);
  }

  std::string source_;
};

TEST_P(RtmptTask, RecordsTheSameMediaAsTheRtmpTask) {
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(nginx_.port()));
  FakeStreamWorker direct, tunnel;
  ObservedRecorder directRecorder, tunnelRecorder;
  const std::string viaRtmp = sandbox_.path("rtmp.flv"), viaRtmpt = sandbox_.path("rtmpt.flv");
  ASSERT_EQ(Record(false, nginx_.port(), viaRtmp, direct, directRecorder), ATTEMPT_COMPLETED);
  ASSERT_EQ(Record(true, gateway.port(), viaRtmpt, tunnel, tunnelRecorder), ATTEMPT_COMPLETED)
      << Reports(tunnel) << gateway.Log().substr(0, 4000);

  ExpectSameMedia(viaRtmpt, source_);
  ExpectSameMedia(viaRtmpt, viaRtmp);
  EXPECT_EQ(tunnelRecorder.results, std::vector<int>{ATTEMPT_COMPLETED});
  EXPECT_EQ(tunnel.Codes(), (std::vector<int32_t>{TE_RESOLVING, TE_FILE_CREATED, TE_CONNECTED,
                                                  TE_RECEIVING, TE_COMPLETED}));
  // The gateway's port is not RTMPT's 80: the task kept it and connected there.
  ASSERT_EQ(tunnel.logs.size(), 1u);
  EXPECT_EQ(tunnel.logs[0].text, "Connecting 127.0.0.1:" + std::to_string(gateway.port()) + "...");
}

// Cut at 30 % of the file and again at 70 %, as the RTMP task is: each break
// gives result 8 and the next attempt continues after the file's last
// keyframe. nginx answers a seek with the keyframe after the one asked for,
// so a continued attempt takes two tunnels: the first ends at its first
// message, the second starts a keyframe earlier (-1 lets it through).
TEST_P(RtmptTask, ContinuesAfterTheLastKeyframeEachTime) {
  const long size = static_cast<long>(testsupport::ReadWholeFile(source_).size());
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(
      nginx_.port(),
      {"--cut-after", std::to_string(size * 30 / 100) + ",-1," + std::to_string(size * 40 / 100)}));
  FakeStreamWorker worker;
  ObservedRecorder recorder;
  const std::string temp = sandbox_.path("rtmpt.flv");
  ASSERT_EQ(Record(true, gateway.port(), temp, worker, recorder), ATTEMPT_COMPLETED)
      << Reports(worker) << gateway.Log().substr(0, 4000);

  const std::string log = gateway.Log();
  int cuts = 0;
  for (size_t at = log.find("CUT "); at != std::string::npos; at = log.find("CUT ", at + 1)) ++cuts;
  EXPECT_EQ(cuts, 2);
  EXPECT_EQ(recorder.results,
            (std::vector<int>{ATTEMPT_BROKEN, ATTEMPT_BROKEN, ATTEMPT_COMPLETED}));
  // Continued, not started over: the file was created once, and each break
  // left a keyframe to go on from, later the second time.
  int created = 0;
  for (int32_t code : worker.Codes()) created += code == TE_FILE_CREATED;
  EXPECT_EQ(created, 1) << Reports(worker);
  ASSERT_EQ(recorder.keyframesBefore.size(), 2u);
  EXPECT_GT(recorder.keyframesBefore[0], 0u);
  EXPECT_GT(recorder.keyframesBefore[1], recorder.keyframesBefore[0]) << gateway.Log();
  ExpectSameMedia(temp, source_);
}

INSTANTIATE_TEST_SUITE_P(Files, RtmptTask,
                         ::testing::Values(MediaCase{"h264_aac", "libx264", "aac"},
                                           MediaCase{"h263_mp3", "flv", "libmp3lame"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtmptAttempt, ConnectsToThePortOfTheHostFieldAndNamesItInTheTcUrl) {
  testpeers::RtmptScriptServer server;
  std::string connectRequest;
  server.Run([&](testpeers::RtmptScriptConn& c) {
    testpeers::HttpRequest r;
    if (c.AcceptTunnel("s1", &r)) connectRequest = r.body;
  });
  FakeStreamWorker worker;
  testsupport::Sandbox dir;
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  const std::string temp = dir.path("t.flv");
  CRTMPDownload attempt;
  testsupport::AimAtClip(attempt, host, temp, worker, /*resume=*/true);
  // The scripted server goes away after the connect request, before any
  // media: a failure for the task's retry rules, not an immediate retry.
  EXPECT_EQ(attempt.RunTunnelled(true), ATTEMPT_FAILED);
  server.Join();
  EXPECT_TRUE(worker.HasEvent(TE_RECV_ERROR, "The server closed the stream before sending any data."));
  EXPECT_NE(connectRequest.find("rtmpt://" + host + "/vod"), std::string::npos);
  ASSERT_EQ(worker.logs.size(), 1u);
  EXPECT_EQ(worker.logs[0].text, "Connecting " + host + "...");
}

// A stop from another thread closes the published tunnel; the worker, which
// is polling an idle server, sees it and the task ends with 9.
TEST(RtmptAttempt, AStopFromAnotherThreadEndsAPollingTask) {
  testpeers::RtmptScriptServer server;
  server.Run([](testpeers::RtmptScriptConn& c) {
    testpeers::HttpRequest r;
    if (!c.AcceptTunnel("s1", &r)) return;
    // Nothing to say, and the client is asked to poll slowly.
    do {
      if (!c.Answer("\x10")) return;
    } while (c.ReadRequest(&r));
  });
  FakeStreamWorker worker;
  testsupport::Sandbox dir;
  ObservedRecorder recorder;
  StreamTaskTexts texts{"127.0.0.1:" + std::to_string(server.port()), "clip", "vod",
                        dir.path("t.flv")};
  int result = -1;
  std::thread task([&] { result = RunStreamRetryLoop(recorder, true, texts, worker); });
  // Waits (bounded, so a broken client fails rather than hangs) until the
  // tunnel is open and polling.
  for (int i = 0; i < 2000 && !worker.HasEvent(TE_RECEIVING, "Start receiving data ..."); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  worker.Stop();
  task.join();
  server.Join();
  EXPECT_EQ(result, ATTEMPT_ABORTED) << Reports(worker);
  EXPECT_FALSE(worker.HasClient());
}

TEST(RtmptAttempt, AnAddressWithoutHostOrPlaypathIsRefused) {
  struct Case {
    const char* host;
    const char* playpath;
    const char* text;
  };
  const Case cases[] = {
      {"", "clip",
       "You must specify a url (-r \"rtmpt://host[:port]/playpath\") containing a hostname."},
      {"127.0.0.1", "",
       "You must specify a url (-r \"rtmpt://host[:port]/playpath\") containing a playpath."},
  };
  testsupport::Sandbox dir;
  for (const Case& c : cases) {
    FakeStreamWorker worker;
    CRTMPDownload attempt;
    const std::string temp = dir.path("never.flv");
    attempt.host = c.host;
    attempt.playpath = c.playpath;
    attempt.app = "vod";
    attempt.tempPath = temp.c_str();
    attempt.worker = &worker;
    EXPECT_EQ(attempt.RunTunnelled(true), ATTEMPT_FAILED);
    EXPECT_EQ(worker.Codes(), (std::vector<int32_t>{TE_RESOLVING, TE_URL_INVALID}));
    EXPECT_TRUE(worker.HasEvent(TE_URL_INVALID, c.text));
    EXPECT_FALSE(std::filesystem::exists(temp));
  }
}

}  // namespace
