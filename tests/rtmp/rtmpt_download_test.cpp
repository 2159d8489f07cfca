// Recording rtmpt:// tasks: the worker's retry loop around
// CRTMPDownload::RunTunnelled, through the test gateway in front of nginx,
// compared with the rtmp:// task of the same file; the attempt's own texts
// and port against the scripted tunnel server.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/stream_retry_loop.h"
#include "core/stream_worker.h"
#include "core/task_event_codes.h"
#include "rtmp/rtmp_download.h"
#include "rtmp/rtmp_recorder.h"
#include "tests/peers/rtmpt_script_server.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/rtmpt_gateway_peer.h"

namespace {

using testsupport::RunCommand;

// Keeps what an attempt reports; never aborts.
class RecordingWorker : public StreamWorker {
 public:
  void AddLog(int32_t, int32_t, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    logs.push_back(text);
  }
  bool Report(int32_t code, int32_t, int32_t, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events.push_back(code);
    texts.push_back(text);
    return true;
  }
  bool CheckAbort() override { return false; }
  void PublishStreamClient(StreamConnection*) override {}
  int32_t TotalSize() const override { return total_; }
  void SetTotalSize(int32_t bytes) override { total_ = bytes; }
  int32_t Downloaded() const override { return downloaded_; }
  void SetDownloaded(int32_t bytes) override { downloaded_ = bytes; }
  void SetSpeed(int32_t) override {}
  void SetElapsed(int32_t) override {}
  uint32_t StartTick() const override { return start_; }
  void SetStartTick(uint32_t tick) override { start_ = tick; }
  void PublishStreamProgress(bool tunnelled, const std::string&, int32_t) override {
    if (tunnelled) ++tunnelProgress;
    else ++streamProgress;
  }

  // The reports, for failure messages.
  std::string Reports() const {
    std::string out;
    for (size_t i = 0; i < events.size(); ++i)
      out += std::to_string(events[i]) + " " + texts[i] + "\n";
    return out;
  }

  std::vector<int32_t> events;
  std::vector<std::string> texts;
  std::vector<std::string> logs;
  std::atomic<int> tunnelProgress{0}, streamProgress{0};

 private:
  std::mutex mutex_;
  std::atomic<int32_t> total_{0}, downloaded_{0};
  std::atomic<uint32_t> start_{0};
};

// The engine's recorder, keeping each attempt's result.
class CountingRecorder : public StreamRecorder {
 public:
  int RunAttempt(const StreamAttemptRequest& request, StreamWorker& worker,
                 bool firstAttempt) override {
    const int result = recorder_.RunAttempt(request, worker, firstAttempt);
    results.push_back(result);
    return result;
  }
  std::vector<int> results;

 private:
  RtmpStreamRecorder recorder_;
};

double Duration(const std::string& path) {
  std::string out;
  if (RunCommand({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                  path},
                 &out) != 0)
    return -1;
  return std::atof(out.c_str());
}

// What ffmpeg finds wrong when decoding the whole file; empty for a sound one.
std::string DecodeErrors(const std::string& path) {
  std::string out;
  RunCommand({"sh", "-c", "ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1"}, &out);
  return out;
}

// True when audio and video timestamps each never go backwards.
bool TimestampsAscend(const std::string& path) {
  const std::string d = testsupport::ReadWholeFile(path);
  std::map<int, uint32_t> last;
  for (size_t pos = 13; pos + 11 <= d.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(d.data() + pos);
    const uint32_t ts = ((p[4] << 16) | (p[5] << 8) | p[6]) | (uint32_t(p[7]) << 24);
    if ((p[0] == 8 || p[0] == 9) && last.count(p[0]) && ts < last[p[0]]) return false;
    last[p[0]] = ts;
    pos += 11 + ((p[1] << 16) | (p[2] << 8) | p[3]) + 4;
  }
  return true;
}

class RtmptTask : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::NginxPeer::Available() || !testsupport::HaveProgram("ffmpeg") ||
        !testsupport::RtmptGatewayPeer::Available())
      GTEST_SKIP() << "nginx with the RTMP module, ffmpeg or python3 is not installed";
    ASSERT_TRUE(nginx_.Start()) << nginx_.ErrorLog();
    source_ = nginx_.media_dir() + "clip.flv";
    ASSERT_TRUE(testsupport::MakeTestFlv(source_, 30, "libx264", "aac"));
  }

  int Record(bool tunnelled, int port, const std::string& out, RecordingWorker& worker,
             CountingRecorder& recorder) {
    StreamTaskTexts texts;
    texts.host = "127.0.0.1:" + std::to_string(port);
    texts.playPath = "clip.flv";
    texts.app = "vod";
    texts.tempPath = out;
    return RunStreamRetryLoop(recorder, tunnelled, texts, worker);
  }

  testsupport::NginxPeer nginx_;
  testsupport::Sandbox dir_;
  std::string source_;
};

TEST_F(RtmptTask, RecordsTheSameMediaAsTheRtmpTask) {
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(nginx_.port()));

  RecordingWorker direct, tunnel;
  CountingRecorder directRecorder, tunnelRecorder;
  const std::string viaRtmp = dir_.path("rtmp.flv"), viaRtmpt = dir_.path("rtmpt.flv");
  ASSERT_EQ(Record(false, nginx_.port(), viaRtmp, direct, directRecorder), ATTEMPT_COMPLETED);
  ASSERT_EQ(Record(true, gateway.port(), viaRtmpt, tunnel, tunnelRecorder), ATTEMPT_COMPLETED)
      << gateway.Log().substr(0, 4000);

  const int packets = testsupport::CountMediaPackets(source_);
  ASSERT_GT(packets, 0);
  EXPECT_EQ(testsupport::CountMediaPackets(viaRtmpt), packets);
  EXPECT_EQ(testsupport::CountMediaPackets(viaRtmp), packets);
  EXPECT_NEAR(Duration(viaRtmpt), Duration(source_), 0.5);
  EXPECT_NEAR(Duration(viaRtmpt), Duration(viaRtmp), 0.5);
  EXPECT_EQ(DecodeErrors(viaRtmpt), "");

  EXPECT_EQ(tunnelRecorder.results, std::vector<int>{ATTEMPT_COMPLETED});
  EXPECT_EQ(tunnel.events, (std::vector<int32_t>{TE_RESOLVING, TE_FILE_CREATED, TE_CONNECTED,
                                                 TE_RECEIVING, TE_COMPLETED}));
  ASSERT_EQ(tunnel.logs.size(), 1u);
  EXPECT_EQ(tunnel.logs[0], "Connecting 127.0.0.1:" + std::to_string(gateway.port()) + "...");
}

TEST_F(RtmptTask, ResumesAfterEachCutFromTheLastKeyframe) {
  // The gateway drops the first tunnel at about 30 % of the file and the
  // second, which continues from the last keyframe, at about 70 %.
  const long size = static_cast<long>(testsupport::ReadWholeFile(source_).size());
  testsupport::RtmptGatewayPeer gateway;
  ASSERT_TRUE(gateway.Start(nginx_.port(), {"--cut-after", std::to_string(size * 3 / 10) + "," +
                                                               std::to_string(size * 4 / 10)}));
  RecordingWorker worker;
  CountingRecorder recorder;
  const std::string out = dir_.path("rtmpt.flv");
  ASSERT_EQ(Record(true, gateway.port(), out, worker, recorder), ATTEMPT_COMPLETED)
      << worker.Reports() << gateway.Log().substr(0, 4000);

  const std::string log = gateway.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), 'C') > 0 && log.find("CUT ") != std::string::npos,
            true);
  EXPECT_EQ(recorder.results,
            (std::vector<int>{ATTEMPT_BROKEN, ATTEMPT_BROKEN, ATTEMPT_COMPLETED}));
  EXPECT_EQ(testsupport::CountMediaPackets(out), testsupport::CountMediaPackets(source_));
  EXPECT_NEAR(Duration(out), Duration(source_), 0.5);
  EXPECT_EQ(DecodeErrors(out), "");
  EXPECT_TRUE(TimestampsAscend(out));
}

TEST(RtmptAttempt, ConnectsToThePortOfTheHostFieldAndNamesItInTheTcUrl) {
  testpeers::RtmptScriptServer server;
  std::string connectRequest;
  server.Run([&](testpeers::RtmptScriptConn& c) {
    testpeers::HttpRequest r;
    if (c.AcceptTunnel("s1", &r)) connectRequest = r.body;
  });
  RecordingWorker worker;
  testsupport::Sandbox dir;
  CRTMPDownload attempt;
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  attempt.host = host.c_str();
  attempt.playpath = "clip";
  attempt.app = "vod";
  attempt.tempPath = nullptr;
  const std::string temp = dir.path("t.flv");
  attempt.tempPath = temp.c_str();
  attempt.worker = &worker;
  attempt.resume = true;
  // The scripted server goes away after the connect request: a broken stream.
  EXPECT_EQ(attempt.RunTunnelled(true), ATTEMPT_BROKEN);
  server.Join();
  const std::string tcUrl = "rtmpt://" + host + "/vod";
  EXPECT_NE(connectRequest.find(tcUrl), std::string::npos);
  ASSERT_EQ(worker.logs.size(), 1u);
  EXPECT_EQ(worker.logs[0], "Connecting " + host + "...");
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
    RecordingWorker worker;
    CRTMPDownload attempt;
    const std::string temp = dir.path("never.flv");
    attempt.host = c.host;
    attempt.playpath = c.playpath;
    attempt.app = "vod";
    attempt.tempPath = temp.c_str();
    attempt.worker = &worker;
    EXPECT_EQ(attempt.RunTunnelled(true), ATTEMPT_FAILED);
    EXPECT_EQ(worker.events, (std::vector<int32_t>{TE_RESOLVING, TE_URL_INVALID}));
    ASSERT_EQ(worker.texts.size(), 2u);
    EXPECT_EQ(worker.texts[1], c.text);
    EXPECT_EQ(testsupport::ReadWholeFile(temp), "");
  }
}

}  // namespace
