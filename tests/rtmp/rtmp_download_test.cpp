// One recording attempt against the scripted server: reports, results, the
// buffer-time raise, the connect parameters, a stop from another thread.
#include "rtmp/rtmp_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/task_event_codes.h"
#include "platform/tick_count.h"
#include "rtmp/rtmp.h"
#include "tests/peers/rtmp_script_server.h"
#include "tests/rtmp/clip_attempt.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_stream_worker.h"
#include "tests/support/sandbox.h"

using namespace testpeers;

namespace {

const std::string kKey = std::string("\x17\x01\x00\x00\x00", 5) + std::string(40, 'k');
const std::string kInter = std::string("\x27\x01\x00\x00\x00", 5) + std::string(20, 'i');

std::string Metadata(double duration) {
  return amf0::String("onMetaData") +
         amf0::EcmaArray({{"duration", amf0::Number(duration)}, {"width", amf0::Number(160)}});
}

class RtmpAttempt : public ::testing::Test {
 protected:
  int Run(const std::string& host, bool first) {
    host_ = host;
    testsupport::AimAtClip(d, host_, temp_, worker, /*resume=*/true);
    return d.Run(first);
  }
  std::string Local(int port) { return "127.0.0.1:" + std::to_string(port); }

  testsupport::Sandbox sandbox;
  testsupport::FakeStreamWorker worker;
  CRTMPDownload d;
  std::string host_;
  std::string temp_ = sandbox.path("clip.flv");
};

TEST_F(RtmpAttempt, WithoutHostNothingIsTouched) {
  EXPECT_EQ(Run("", true), ATTEMPT_FAILED);
  EXPECT_EQ(worker.Codes(), (std::vector<int32_t>{TE_RESOLVING, TE_URL_INVALID}));
  EXPECT_TRUE(worker.HasEvent(TE_URL_INVALID,
                              "You must specify a url (-r \"rtmp://host[:port]/playpath\") "
                              "containing a hostname."));
  EXPECT_FALSE(testsupport::ReadWholeFile(temp_).size() > 0 || std::fopen(temp_.c_str(), "rb"));
}

TEST_F(RtmpAttempt, RefusedConnection) {
  for (bool first : {true, false}) {
    SCOPED_TRACE(first);
    testsupport::FakeStreamWorker w;
    CRTMPDownload attempt;
    const std::string host = Local(testsupport::FreeTcpPort());
    testsupport::AimAtClip(attempt, host, temp_, w, /*resume=*/true);
    EXPECT_EQ(attempt.Run(first), ATTEMPT_FAILED);
    EXPECT_TRUE(w.HasEvent(TE_CONNECT_FAILED,
                           first ? "Failed to connect to the server." : "Connection broken."));
    EXPECT_TRUE(w.HasEvent(TE_FILE_CREATED, "Create temporary file successfully."));
    EXPECT_EQ(testsupport::ReadWholeFile(temp_), "");
    EXPECT_FALSE(w.HasClient());
    EXPECT_EQ(w.logs.size(), first ? 1u : 0u);  // "Connecting ..." on the first only
  }
}

// Without the connection object the file must stay as it is: not result 7,
// which would delete it.
TEST_F(RtmpAttempt, NoConnectionObjectLeavesTheFile) {
  sandbox.WriteFile("clip.flv", "partial recording");
  d.makeConnection = [] { return static_cast<CRTMP*>(nullptr); };
  EXPECT_EQ(Run(Local(1), false), ATTEMPT_FAILED);
  EXPECT_TRUE(worker.HasEvent(TE_SOCKET_FAILED, "Failed to initialize socket."));
  EXPECT_EQ(testsupport::ReadWholeFile(temp_), "partial recording");
}

// The stream breaks off (or ends) after its last tag; percent decides.
TEST_F(RtmpAttempt, OutcomeOfAStreamThatStops) {
  struct Case {
    const char* name;
    uint32_t lastTimestamp;
    bool stopStatus;  // ends with NetStream.Play.Stop instead of a dropped connection
    int result;
  };
  const Case cases[] = {
      {"drop at 59,950 of 60 s", 59950, false, ATTEMPT_COMPLETED},
      {"drop at 30,000 of 60 s", 30000, false, ATTEMPT_BROKEN},
      {"stop status at 30,000", 30000, true, ATTEMPT_COMPLETED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::FakeStreamWorker w;
    CRTMPDownload attempt;
    RtmpScriptServer server;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
      conn.SendMessage(5, 18, 0, 1, Metadata(60));
      conn.SendMessage(6, 9, 0, 1, kKey);
      conn.SendMessage(6, 9, c.lastTimestamp, 1, kInter);
      if (c.stopStatus) conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.Stop"));
      conn.WaitClosed(c.stopStatus ? 10000 : 200);
    });
    const std::string host = Local(server.port());
    testsupport::AimAtClip(attempt, host, temp_, w, /*resume=*/false);
    EXPECT_EQ(attempt.Run(true), c.result);
    server.Join();
    EXPECT_EQ(w.HasEvent(TE_COMPLETED, "Download Completed."), c.result == ATTEMPT_COMPLETED);
  }
}

// A continued file keeps nothing of the old tail after the resume keyframe,
// even when the continuation is shorter than that tail.
TEST_F(RtmpAttempt, ContinuingCutsTheOldTailOff) {
  auto be = [](uint32_t v, int n) {
    std::string out;
    for (int i = n - 1; i >= 0; --i) out.push_back(char(v >> (8 * i)));
    return out;
  };
  auto tag = [&](uint8_t type, uint32_t ts, const std::string& data) {
    return std::string(1, char(type)) + be(uint32_t(data.size()), 3) + be(ts & 0xFFFFFF, 3) +
           std::string(1, char(ts >> 24)) + be(0, 3) + data + be(uint32_t(data.size()) + 11, 4);
  };
  const std::string head = std::string("FLV\x01\x05", 5) + be(9, 4) + be(0, 4) + tag(9, 0, kKey) +
                           tag(8, 10, "snd") + tag(9, 1000, kKey);
  const std::string oldTail = tag(8, 1010, std::string(300, 's')) + tag(9, 1040, kInter) + "partial";
  sandbox.WriteFile("clip.flv", head + oldTail);

  RtmpScriptServer server;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
    conn.SendMessage(6, 9, 1000, 1, kKey);    // the resume keyframe again
    conn.SendMessage(6, 9, 1050, 1, kInter);  // then less than the old tail
    conn.WaitClosed(200);
  });
  const int result = Run(Local(server.port()), false);
  server.Join();
  EXPECT_TRUE(result == ATTEMPT_BROKEN || result == ATTEMPT_COMPLETED) << result;
  EXPECT_EQ(sandbox.ReadFile("clip.flv"), head + tag(9, 1050, kInter));
}

TEST_F(RtmpAttempt, ConnectsToThePortOfTheHostFieldAndRaisesTheBuffer) {
  RtmpScriptServer server;
  RtmpMessage connect, before, after;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept(&connect) || !conn.AnswerUntilPlay()) return;
    conn.ReadMessageOfType(4, &before);
    conn.SendMessage(5, 18, 0, 1, Metadata(11 * 3600));
    conn.SendMessage(6, 9, 0, 1, kKey);
    conn.ReadMessageOfType(4, &after);
    conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.Stop"));
    conn.WaitClosed();
  });
  EXPECT_EQ(Run(Local(server.port()), true), ATTEMPT_COMPLETED);
  server.Join();
  const std::string tcUrl = "rtmp://127.0.0.1:" + std::to_string(server.port()) + "/vod";
  EXPECT_NE(connect.body.find(amf0::String(tcUrl)), std::string::npos);
  ASSERT_FALSE(worker.logs.empty());
  EXPECT_EQ(worker.logs[0].text, "Connecting " + Local(server.port()) + "...");
  // Set buffer length of stream 1: ten hours, then the duration plus 5 s.
  EXPECT_EQ(Hex(before.body), "00 03 00 00 00 01 02 25 51 00");
  EXPECT_EQ(Hex(after.body), "00 03 00 00 00 01 02 5c 53 08");
  EXPECT_EQ(d.bufferTime, 39605000);
}

TEST_F(RtmpAttempt, StopFromAnotherThreadEndsTheAttempt) {
  RtmpScriptServer server;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
    conn.SendMessage(6, 9, 0, 1, kKey);
    conn.WaitClosed(20000);  // then silence, as a stalled server
  });
  std::thread ui([&] {
    for (int i = 0; i < 1000 && worker.Codes().size() < 4; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    worker.Stop();
  });
  EXPECT_EQ(Run(Local(server.port()), true), ATTEMPT_ABORTED);
  ui.join();
  server.Join();
  EXPECT_TRUE(worker.HasEvent(TE_CANCELED, "User canceled the downloading."));
  EXPECT_EQ(worker.aborts, 1);
  EXPECT_FALSE(worker.HasClient());
}

}  // namespace

namespace {

TEST(RtmpAttemptProgress, CountersFromThePercent) {
  testsupport::FakeStreamWorker w;
  CRTMPDownload d;
  d.worker = &w;
  d.percent = 50;
  w.startTick = platform::TickCountMs() - 10000;
  // Size unknown: the text and the time left, which at half-way is the time so far.
  d.ProgressUpdate(false);
  EXPECT_EQ(w.progress, "50.00");
  EXPECT_GE(w.elapsed, 10);
  EXPECT_EQ(w.timeLeft, w.elapsed);
  EXPECT_FALSE(w.progressTunnelled);
  // Size known: downloaded follows the percent, and no text is written.
  w.progress.clear();
  w.totalSize = 1000;
  d.ProgressUpdate(false);
  EXPECT_EQ(w.downloaded, 500);
  EXPECT_EQ(w.progress, "");
}

}  // namespace
