// One recording attempt against the scripted server: reports, results, the
// buffer-time raise, the connect parameters, a stop from another thread.
#include "rtmp/rtmp_download.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/byte_count.h"
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

std::string Be(uint32_t v, int n) {
  std::string out;
  for (int i = n - 1; i >= 0; --i) out.push_back(char(v >> (8 * i)));
  return out;
}

// An FLV tag as the file holds it, trailer included.
std::string FlvTag(uint8_t type, uint32_t ts, const std::string& data) {
  return std::string(1, char(type)) + Be(uint32_t(data.size()), 3) + Be(ts & 0xFFFFFF, 3) +
         std::string(1, char(ts >> 24)) + Be(0, 3) + data + Be(uint32_t(data.size()) + 11, 4);
}

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
  const std::string head = std::string("FLV\x01\x05", 5) + Be(9, 4) + Be(0, 4) +
                           FlvTag(9, 0, kKey) + FlvTag(8, 10, "snd") + FlvTag(9, 1000, kKey);
  const std::string oldTail =
      FlvTag(8, 1010, std::string(300, 's')) + FlvTag(9, 1040, kInter) + "partial";
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
  // No duration, and the connection dropped: broken off, to be continued.
  EXPECT_EQ(result, ATTEMPT_BROKEN);
  EXPECT_EQ(sandbox.ReadFile("clip.flv"), head + FlvTag(9, 1050, kInter));
}

// A stream the server does not have, or ends before any media: a failure the
// user can read, not a broken stream to try again at once (which wrote a
// header, found it unusable, deleted it and started over, many times a
// second). The file left behind starts the next try afresh.
TEST_F(RtmpAttempt, StreamRefusedBeforeAnyMediaFails) {
  struct Case {
    const char* name;
    std::string answer;  // after play; empty: the server just closes
    const char* text;
  };
  const std::string close = amf0::String("close") + amf0::Number(0) + amf0::Null();
  const Case cases[] = {
      {"stream not found", OnStatus("NetStream.Play.StreamNotFound", "error"),
       "The server refused the stream (NetStream.Play.StreamNotFound)."},
      {"play failed", OnStatus("NetStream.Play.Failed", "error"),
       "The server refused the stream (NetStream.Play.Failed)."},
      {"stream failed", OnStatus("NetStream.Failed", "error"),
       "The server refused the stream (NetStream.Failed)."},
      {"close command", close, "The server refused the stream (close)."},
      {"closed before any media", "", "The server closed the stream before sending any data."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::FakeStreamWorker w;
    CRTMPDownload attempt;
    RtmpScriptServer server;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
      if (!c.answer.empty()) conn.SendMessage(5, 20, 0, 1, c.answer);
      conn.WaitClosed(c.answer.empty() ? 100 : 10000);
    });
    const std::string host = Local(server.port());
    testsupport::AimAtClip(attempt, host, temp_, w, /*resume=*/true);
    EXPECT_EQ(attempt.Run(true), ATTEMPT_FAILED);
    server.Join();
    ASSERT_FALSE(w.Events().empty());
    EXPECT_EQ(w.Events().back().code, TE_RECV_ERROR);
    EXPECT_EQ(w.Events().back().text, c.text);
    // The header keeps its flags: the next attempt starts afresh instead of
    // deleting an unusable file.
    const std::string file = testsupport::ReadWholeFile(temp_);
    EXPECT_EQ(Hex(file), "46 4c 56 01 05 00 00 00 09 00 00 00 00");
    CRTMPDownload next;
    FILE* f = std::fopen(temp_.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(next.InspectFile(f, nullptr), CRTMPDownload::INSPECT_FRESH);
    std::fclose(f);
  }
}

// The header says what the file holds as soon as it is known, whatever ends
// the attempt: an audio-only recording stopped part-way continues as one.
TEST_F(RtmpAttempt, AudioOnlyRecordingStoppedPartWayContinues) {
  const std::string sound = std::string("\xaf\x01", 2) + std::string(30, 's');
  RtmpScriptServer first;
  std::atomic<bool> sent{false};
  first.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
    for (uint32_t ts : {0u, 500u, 1000u}) conn.SendMessage(4, 8, ts, 1, sound);
    sent = true;
    conn.WaitClosed(20000);
  });
  std::thread ui([&] {
    for (int i = 0; i < 2000 && !sent; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // all three read
    worker.Stop();
  });
  EXPECT_EQ(Run(Local(first.port()), true), ATTEMPT_ABORTED);
  ui.join();
  first.Join();
  const std::string file = testsupport::ReadWholeFile(temp_);
  ASSERT_GE(file.size(), 13u);
  EXPECT_EQ(file[4], '\x04');

  testsupport::FakeStreamWorker w;
  CRTMPDownload again;
  RtmpScriptServer second;
  RtmpMessage play;
  second.Run([&](RtmpScriptConn& conn) {
    std::vector<RtmpMessage> seen;
    if (!conn.Accept() || !conn.AnswerUntilPlay(1, &seen)) return;
    play = seen.back();
    conn.SendMessage(4, 8, 0, 1, sound);  // the last tag of the file again
    conn.SendMessage(4, 8, 500, 1, sound);
    conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.Stop"));
    conn.WaitClosed();
  });
  const std::string host = Local(second.port());
  testsupport::AimAtClip(again, host, temp_, w, /*resume=*/true);
  EXPECT_EQ(again.Run(false), ATTEMPT_COMPLETED);
  second.Join();
  EXPECT_TRUE(again.audioOnly);
  // Asked from the last audio tag in the file, the one the stop left last.
  EXPECT_GT(again.resumeTimestamp, 0u);
  EXPECT_NE(play.body.find(amf0::Number(again.resumeTimestamp)), std::string::npos);
  EXPECT_EQ(testsupport::ReadWholeFile(temp_).substr(0, 13), file.substr(0, 13));
}

// Duration and size from the server's metadata are clamped to what the
// counters hold; before, a long duration made the buffer time negative and a
// size over 2 GiB a negative total. Sizes past 4 GiB are kept whole.
TEST_F(RtmpAttempt, MetadataNumbersOutOfRangeAreClamped) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    double duration, filesize;
    int32_t bufferTime;
    int64_t totalSize;
  };
  const int32_t longest = (INT32_MAX - 5000) / 1000 * 1000 + 5000;
  const Case cases[] = {
      {"ordinary", 100, 5000, 36000000, 5000},
      {"ten years, 5 GB", 10 * 365 * 86400.0, 5e9, longest, 5000000000},
      {"infinite", inf, inf, longest, kMaxByteCount},
      {"past the largest count", 100, 1e300, 36000000, kMaxByteCount},
      {"not a number", nan, nan, 36000000, 0},
      {"negative", -60, -1, 36000000, 0},
  };
  // The first total size set is the one from the metadata (completion then
  // sets it to what was downloaded).
  struct SizeWatch : testsupport::FakeStreamWorker {
    void SetTotalSize(int64_t v) override {
      sizes.push_back(v);
      FakeStreamWorker::SetTotalSize(v);
    }
    std::vector<int64_t> sizes;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SizeWatch w;
    CRTMPDownload attempt;
    RtmpScriptServer server;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
      conn.SendMessage(5, 18, 0, 1,
                       amf0::String("onMetaData") +
                           amf0::EcmaArray({{"duration", amf0::Number(c.duration)},
                                            {"filesize", amf0::Number(c.filesize)}}));
      conn.SendMessage(6, 9, 0, 1, kKey);
      conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.Stop"));
      conn.WaitClosed();
    });
    const std::string host = Local(server.port());
    testsupport::AimAtClip(attempt, host, temp_, w, /*resume=*/false);
    EXPECT_EQ(attempt.Run(true), ATTEMPT_COMPLETED);
    server.Join();
    EXPECT_EQ(attempt.bufferTime, c.bufferTime);
    ASSERT_FALSE(w.sizes.empty());
    EXPECT_EQ(w.sizes.front(), c.totalSize);
    EXPECT_TRUE(attempt.percent >= 0 && attempt.percent <= 100) << attempt.percent;
  }
}

// A resumed attempt's first speed counts what came in, not the file it
// continues.
TEST_F(RtmpAttempt, FirstSpeedOfAResumedAttemptCountsOnlyNewBytes) {
  const std::string big = std::string("\x27\x01\x00\x00\x00", 5) + std::string(8 << 20, 'o');
  sandbox.WriteFile("clip.flv", std::string("FLV\x01\x05", 5) + Be(9, 4) + Be(0, 4) +
                                    FlvTag(9, 0, kKey) + FlvTag(9, 40, big) + FlvTag(9, 1000, kKey));
  RtmpScriptServer server;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
    conn.SendMessage(6, 9, 1000, 1, kKey);
    for (uint32_t ts = 1040; ts <= 1400; ts += 40) {
      conn.SendMessage(6, 9, ts, 1, kInter);
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    conn.WaitClosed(100);
  });
  EXPECT_EQ(Run(Local(server.port()), false), ATTEMPT_BROKEN);
  server.Join();
  // About ten small tags in one and a half seconds: far below the 8 MiB
  // already in the file.
  EXPECT_GT(worker.speed, 0);
  EXPECT_LT(worker.speed, 100000);
}

// A host that takes the connection nowhere (its queue of connections is
// full, so the handshake goes unanswered) is given up after the attempt's
// time-out, and a stop meanwhile ends the attempt at once.
class Unanswered {
 public:
  Unanswered() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 0);
    // Fill the queue; later handshakes are dropped.
    for (int i = 0; i < 4; ++i) {
      int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
      fillers_.push_back(c);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ~Unanswered() {
    for (int c : fillers_) ::close(c);
    ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

TEST_F(RtmpAttempt, ConnectingIsBoundedAndStoppable) {
  Unanswered nowhere;
  {
    SCOPED_TRACE("time-out");
    testsupport::FakeStreamWorker w;
    CRTMPDownload attempt;
    const std::string host = Local(nowhere.port());
    testsupport::AimAtClip(attempt, host, temp_, w, /*resume=*/false);
    attempt.receiveTimeoutMs = 500;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(attempt.Run(true), ATTEMPT_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(w.HasEvent(TE_CONNECT_FAILED, "Failed to connect to the server."));
  }
  {
    SCOPED_TRACE("stop");
    testsupport::FakeStreamWorker w;
    CRTMPDownload attempt;
    const std::string host = Local(nowhere.port());
    testsupport::AimAtClip(attempt, host, temp_, w, /*resume=*/false);
    attempt.receiveTimeoutMs = 600000;
    std::thread ui([&] {
      for (int i = 0; i < 2000 && !w.HasClient(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      w.Stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(attempt.Run(true), ATTEMPT_ABORTED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    ui.join();
    EXPECT_EQ(w.aborts, 1);
  }
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
