#include "http/socket_download.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "http/task_events.h"
#include "platform/file_system.h"
#include "tests/http/worker_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"

namespace {

using testsupport::Attempt;
using testsupport::RunAttempt;
using testsupport::RunAttemptWith;
using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Lines Connected(int port) {
  return {"TE_RESOLVING", "0 0 Connecting 127.0.0.1:" + std::to_string(port) + "...",
          "0 0 Connected.", "TE_CONNECTED"};
}

const Lines kReceiving = {"TE_SIZE_KNOWN", "3 1 Create temporary file successfully.",
                          "TE_FILE_CREATED", "0 0 Start receiving data ...", "TE_RECEIVING"};
const Lines kCompleted = {"3 1 Download Completed.", "TE_COMPLETED"};
const char kUnknownRestart[] =
    "0 3 The file size is unknown, so the download cannot resume. Restart from the beginning.";
const Lines kRestart = {"0 3 Server does not support resuming. Restart from the beginning.",
                        "TE_BAD_RESPONSE"};

class WorkerTest : public ::testing::Test {
 protected:
  static constexpr size_t kSize = 200 * 1024 + 77;

  void SetUp() override {
    source_ = testsupport::RandomBytes(kSize, 20261210);
    platform::CreateFolders(box_.path("www/"));
    box_.WriteFile("www/clip.bin", source_);
    platform::CreateFolders(box_.path("save/"));
  }

  void StartNginx(const std::string& extra = {}) {
    if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx is not installed";
    ASSERT_TRUE(nginx_.Start(box_.path("www"), extra)) << nginx_.ErrorLog();
  }

  void StartFaultServer() {
    faultPort_ = testsupport::FreeTcpPort();
    ASSERT_TRUE(fault_.Start({"python3", std::string(TAMBOREL_PEERS_DIR) + "/http_fault_server.py",
                              std::to_string(faultPort_), box_.path("www/clip.bin"),
                              box_.path("requests.log")},
                             box_.path("fault.log")));
    ASSERT_TRUE(testsupport::WaitForPort(faultPort_));
  }

  std::string FaultUrl(const std::string& mode) const {
    return "http://127.0.0.1:" + std::to_string(faultPort_) + "/" + mode + "/clip.bin";
  }

  std::string temp() const { return box_.path("save/{1234_clip}.TMP!"); }
  std::string TempContent() const { return testsupport::ReadWholeFile(temp()); }
  bool TempExists() const { return platform::FileExists(temp()); }
  void WritePartial(size_t n) const { testsupport::WriteWholeFile(temp(), source_.substr(0, n)); }

  testsupport::Sandbox box_;
  std::string source_;
  testsupport::NginxPeer nginx_;
  testsupport::ChildProcess fault_;
  int faultPort_ = 0;
};

TEST_F(WorkerTest, FreshDownloadFromNginx) {
  StartNginx();
  TaskRequest extras;
  extras.Referer = "http://page.test/watch";
  Attempt a = RunAttempt(nginx_.Url("/clip.bin"), temp(), 0, extras);

  EXPECT_EQ(a.summary, Connected(nginx_.port()) + kReceiving + kCompleted);
  ASSERT_EQ(a.request.size(), 1u);
  EXPECT_EQ(a.request[0],
            "GET /clip.bin HTTP/1.1\r\n"
            "Accept: */*\r\n"
            "Host: 127.0.0.1\r\n"
            "Referer: http://page.test/watch\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
            "Cache-Control: no-cache\r\n"
            "Connection: close\r\n"
            "\r\n");
  ASSERT_GE(a.header.size(), 3u);
  EXPECT_EQ(a.header.front(), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(a.header.back(), "\r\n");
  EXPECT_NE(std::find(a.header.begin(), a.header.end(),
                      "Content-Length: " + std::to_string(kSize) + "\r\n"),
            a.header.end());
  for (int32_t index : a.indexes) EXPECT_EQ(index, 7);
  EXPECT_EQ(a.total, static_cast<int64_t>(kSize));
  EXPECT_EQ(a.downloaded, static_cast<int64_t>(kSize));
  EXPECT_TRUE(TempContent() == source_);
}

TEST_F(WorkerTest, ResumesFromThePartialFileWithARange) {
  StartNginx();
  WritePartial(1000);
  Attempt a = RunAttempt(nginx_.Url("/clip.bin"), temp(), static_cast<int64_t>(kSize));
  EXPECT_EQ(a.summary, Connected(nginx_.port()) + kReceiving + kCompleted);
  ASSERT_EQ(a.request.size(), 1u);
  EXPECT_NE(a.request[0].find("Connection: close\r\nRange: bytes=1000-\r\n\r\n"), std::string::npos);
  EXPECT_EQ(a.header.front(), "HTTP/1.1 206 Partial Content\r\n");
  EXPECT_EQ(a.total, static_cast<int64_t>(kSize));
  EXPECT_TRUE(TempContent() == source_);
}

// Sizes and ranges past 32 bits, on sparse files: next to nothing is written.
TEST_F(WorkerTest, ResumesPastFourGibibytes) {
  StartNginx();
  const int64_t size = (int64_t{1} << 32) + 1000;
  const std::string tail = testsupport::RandomBytes(1000, 4);
  const std::string huge = box_.path("www/huge.bin");
  testsupport::WriteWholeFile(huge, "");
  ASSERT_EQ(::truncate(huge.c_str(), size - 1000), 0);
  {
    std::ofstream out(huge, std::ios::binary | std::ios::app);
    out << tail;
  }
  ASSERT_EQ(platform::FileSize(huge), size);

  // Resumed from beyond 4 GiB, it ends with the exact size and the tail.
  testsupport::WriteWholeFile(temp(), "");
  ASSERT_EQ(::truncate(temp().c_str(), size - 990), 0);
  Attempt a = RunAttempt(nginx_.Url("/huge.bin"), temp(), size);
  EXPECT_EQ(a.summary, Connected(nginx_.port()) + kReceiving + kCompleted);
  ASSERT_EQ(a.request.size(), 1u);
  EXPECT_NE(a.request[0].find("Range: bytes=4294967306-\r\n"), std::string::npos);
  EXPECT_EQ(a.total, size);
  EXPECT_EQ(a.downloaded, size);
  EXPECT_EQ(platform::FileSize(temp()), size);
  std::ifstream in(temp(), std::ios::binary);
  in.seekg(size - 990);
  std::string got(990, '\0');
  in.read(got.data(), 990);
  EXPECT_TRUE(got == tail.substr(10));

  // A rest of more than 2 GiB is a size like any other.
  ASSERT_EQ(::truncate(temp().c_str(), 10), 0);
  SocketDownLoad worker;
  a = RunAttemptWith(worker, nginx_.Url("/huge.bin"), temp(), 0, {}, [](SocketDownLoad& w) {
    ASSERT_TRUE(testsupport::WaitForBytes(w, 100000));
    w.Stop();
  });
  EXPECT_EQ(a.total, size);
  EXPECT_EQ(a.summary.back(), "TE_CANCELED");
  EXPECT_EQ(std::count(a.summary.begin(), a.summary.end(), "TE_SIZE_KNOWN"), 1);
}

TEST_F(WorkerTest, UrlWithoutSchemeIsTriedWithHttp) {
  StartNginx();
  Attempt a = RunAttempt("127.0.0.1:" + std::to_string(nginx_.port()) + "/clip.bin", temp(), 0);
  EXPECT_EQ(a.summary, Connected(nginx_.port()) + kReceiving + kCompleted);
  EXPECT_TRUE(TempContent() == source_);
}

TEST_F(WorkerTest, AnswersThatEndTheAttemptBeforeTheBody) {
  StartNginx();
  struct Case {
    const char* what;
    const char* path;
    size_t partial;   // bytes on disk before the attempt
    int32_t expected; // the task's FileBytes
    Lines tail;       // after "Connected."
    bool keepsPartial;
  } cases[] = {
      {"size differs, nothing on disk", "/clip.bin", 0, kSize + 1, {"TE_BAD_RESPONSE"}, false},
      {"size differs, partial file", "/clip.bin", 1000, kSize + 1, kRestart, false},
      {"404 on a resume", "/gone.bin", 1000, kSize, kRestart, false},
      {"404 on a fresh start", "/gone.bin", 0, 0, {"TE_BAD_RESPONSE"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::DeleteFile(temp());
    if (c.partial) WritePartial(c.partial);
    Attempt a = RunAttempt(nginx_.Url(c.path), temp(), c.expected);
    EXPECT_EQ(a.summary, Connected(nginx_.port()) + c.tail);
    EXPECT_FALSE(TempExists());
  }
}

TEST_F(WorkerTest, FailuresBeforeAnyAnswer) {
  const int closedPort = testsupport::FreeTcpPort();
  const std::string connecting = "0 0 Connecting 127.0.0.1:" + std::to_string(closedPort) + "...";
  const std::string invalid = "0 3 The URL address is invalid.";
  struct Case {
    std::string url;
    Lines summary;
  } cases[] = {
      {"", {"TE_RESOLVING", invalid, "TE_URL_INVALID"}},
      {"/v/clip.flv", {"TE_RESOLVING", invalid, "TE_URL_INVALID"}},
      // Malformed ports and hosts: never a server named after the scheme.
      {"http://:8080/x", {"TE_RESOLVING", invalid, "TE_URL_INVALID"}},
      {"http://127.0.0.1:99999/x", {"TE_RESOLVING", invalid, "TE_URL_INVALID"}},
      {"http://127.0.0.1:8o/x", {"TE_RESOLVING", invalid, "TE_URL_INVALID"}},
      {"http://127.0.0.1:-80/x", {"TE_RESOLVING", invalid, "TE_URL_INVALID"}},
      {"http://127.0.0.1:" + std::to_string(closedPort) + "/clip.bin",
       {"TE_RESOLVING", connecting, "0 3 Failed to connect to the server.", "TE_CONNECT_FAILED"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    Attempt a = RunAttempt(c.url, temp(), 0);
    EXPECT_EQ(a.summary, c.summary);
    EXPECT_EQ(a.last, c.summary.back() == "TE_URL_INVALID" ? TE_URL_INVALID : TE_CONNECT_FAILED);
  }
}

TEST_F(WorkerTest, RequestThatDoesNotFitIsNeverSent) {
  StartFaultServer();
  TaskRequest extras;
  extras.Cookie = std::string(6000, 'c');
  Attempt a = RunAttempt(FaultUrl("ok"), temp(), 0, extras);
  EXPECT_EQ(a.summary, Connected(faultPort_) + Lines{"TE_SEND_FAILED"});
  EXPECT_EQ(a.request, Lines{"Failed to send downloading request."});
  EXPECT_FALSE(TempExists());
}

TEST_F(WorkerTest, UnreadableTemporaryFileEndsTheAttempt) {
  ASSERT_TRUE(platform::CreateFolders(temp()));  // a folder where the file should be
  Attempt a = RunAttempt("http://127.0.0.1:1/clip.bin", temp(), 0);
  EXPECT_EQ(a.summary, (Lines{"0 3 Failed to create temporary file.", "TE_CREATE_FAILED"}));
}

enum class After { Missing, Source, Half, Partial };

TEST_F(WorkerTest, FaultServerAnswers) {
  StartFaultServer();
  const Lines noSize = {"3 1 Failed to get file size.", "TE_NO_SIZE"};
  const Lines recvFailed = {"0 0 Failed to receive data.", "TE_RECV_FAILED"};
  // Followed to the same server, resuming there when a part is on disk.
  const Lines again = Connected(faultPort_);
  const Lines redirected =
      Lines{"0 3 Redirected to http://127.0.0.1:" + std::to_string(faultPort_) + "/ok/file"} +
      Lines(again.begin() + 1, again.end()) + kReceiving + kCompleted;
  struct Case {
    const char* mode;
    size_t partial;
    int32_t expected;
    Lines tail;
    After after;
  } cases[] = {
      {"ok", 1000, 0, kReceiving + kCompleted, After::Source},
      // Content-Range far past the 1024 header bytes that are kept.
      {"long-fields", 1000, kSize, kReceiving + kCompleted, After::Source},
      {"long-fields", 0, 0, kReceiving + kCompleted, After::Source},
      // Ranges ignored: the whole file again must not land after the part on disk.
      {"ignore-range", 1000, kSize, kRestart, After::Missing},
      {"ignore-range", 1000, 0, kRestart, After::Missing},
      {"ignore-range", 0, 0, kReceiving + kCompleted, After::Source},
      // A 206 that does not continue where the file ends.
      {"wrong-start", 1000, 0, kRestart, After::Missing},
      {"wrong-start", 1000, kSize, kRestart, After::Missing},
      {"short-206", 1000, 0, kRestart, After::Missing},
      // Bodies without a length run to their end; a part on disk cannot be continued.
      {"no-length", 0, 0, kReceiving + kCompleted, After::Source},
      {"no-length", 1000, 0, Lines{kUnknownRestart} + kReceiving + kCompleted, After::Source},
      {"chunked", 0, 0, kReceiving + kCompleted, After::Source},
      {"chunked", 1000, kSize, Lines{kUnknownRestart} + kReceiving + kCompleted, After::Source},
      {"redirect", 0, 0, redirected, After::Source},
      {"redirect", 1000, kSize, redirected, After::Source},
      {"no-blank", 0, 0, {"TE_BAD_RESPONSE"}, After::Missing},
      {"no-colon", 0, 0, kReceiving + kCompleted, After::Source},
      {"long-header", 0, 0, noSize, After::Missing},
      {"long-header-first", 0, 0, kReceiving + kCompleted, After::Source},
      {"extra", 0, 0, kReceiving + kCompleted, After::Source},
      {"close-mid", 0, 0, kReceiving + recvFailed, After::Half},
      {"reset-mid", 0, 0, kReceiving + recvFailed, After::Half},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " partial " + std::to_string(c.partial) + " expected " +
                 std::to_string(c.expected));
    platform::DeleteFile(temp());
    if (c.partial) WritePartial(c.partial);
    Attempt a = RunAttempt(FaultUrl(c.mode), temp(), c.expected);
    EXPECT_EQ(a.summary, Connected(faultPort_) + c.tail);
    switch (c.after) {
      case After::Missing: EXPECT_FALSE(TempExists()); break;
      case After::Source: EXPECT_TRUE(TempContent() == source_); break;
      case After::Half: EXPECT_TRUE(TempContent() == source_.substr(0, kSize / 2)); break;
      case After::Partial: EXPECT_TRUE(TempContent() == source_.substr(0, c.partial)); break;
    }
  }
}

TEST_F(WorkerTest, NoAnswerAtAll) {
  StartFaultServer();
  Attempt a = RunAttempt(FaultUrl("close-at-once"), temp(), 0);
  EXPECT_EQ(a.summary, Connected(faultPort_) + Lines{"TE_NO_RESPONSE"});
  EXPECT_EQ(a.header, Lines{"Error occured."});
}

TEST_F(WorkerTest, BodiesWithoutALengthCutThenRestarted) {
  StartFaultServer();
  for (const char* mode : {"chunked-cut-once", "no-length-cut-once"}) {
    SCOPED_TRACE(mode);
    platform::DeleteFile(temp());
    Attempt cut = RunAttempt(FaultUrl(mode), temp(), 0);
    EXPECT_TRUE(cut.last == TE_RECV_ERROR || cut.last == TE_RECV_FAILED) << cut.last;
    EXPECT_EQ(cut.total, 0);  // the size stays unknown
    const std::string part = TempContent();
    ASSERT_GT(part.size(), 0u);
    ASSERT_LT(part.size(), kSize);
    EXPECT_TRUE(part == source_.substr(0, part.size()));

    Attempt again = RunAttempt(FaultUrl(mode), temp(), cut.total);
    EXPECT_EQ(again.summary, Connected(faultPort_) + Lines{kUnknownRestart} + kReceiving + kCompleted);
    EXPECT_EQ(again.total, static_cast<int64_t>(kSize));
    EXPECT_EQ(again.downloaded, static_cast<int64_t>(kSize));
    EXPECT_TRUE(TempContent() == source_);
  }
}

TEST_F(WorkerTest, AbortDuringTheBodyKeepsWhatArrived) {
  StartFaultServer();
  struct Case {
    void (SocketDownLoad::*op)();
    const char* text;
    const char* event;
    int32_t code;
  } cases[] = {
      {&SocketDownLoad::Stop, "0 3 User canceled the downloading.", "TE_CANCELED", TE_CANCELED},
      {&SocketDownLoad::Delete, "0 3 User deleted the downloading.", "TE_DELETED", TE_DELETED},
      {&SocketDownLoad::TimeOut, "0 3 Connection timeout.", "TE_TIMEOUT", TE_TIMEOUT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.event);
    platform::DeleteFile(temp());
    std::chrono::steady_clock::time_point asked;
    Attempt a = RunAttempt(FaultUrl("stall"), temp(), 0, {}, [&](SocketDownLoad& w) {
      ASSERT_TRUE(testsupport::WaitForBytes(w, kSize / 2));
      // A quarter into the receive wait, where only the broken connection
      // wakes the worker early.
      std::this_thread::sleep_for(std::chrono::milliseconds(shDownLoad::kReceiveWaitMs / 4));
      asked = std::chrono::steady_clock::now();
      (w.*c.op)();
    });
    // Ended at once, not when the wait ran out three quarters later.
    EXPECT_LT(std::chrono::steady_clock::now() - asked,
              std::chrono::milliseconds(shDownLoad::kReceiveWaitMs / 2));
    EXPECT_EQ(a.summary, (Connected(faultPort_) + kReceiving + Lines{c.text, c.event}));
    EXPECT_EQ(a.last, c.code);
    EXPECT_TRUE(TempContent() == source_.substr(0, kSize / 2));
  }
}

TEST_F(WorkerTest, TimeOutWhileTheHeaderStalls) {
  StartFaultServer();
  WritePartial(1000);
  Attempt a = RunAttempt(FaultUrl("stall-header"), temp(), 0, {}, [&](SocketDownLoad& w) {
    // Wait until the request has gone out and the worker sits in the header.
    for (int i = 0; i < 500 && testsupport::ReadWholeFile(box_.path("requests.log")).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    w.TimeOut();
  });
  EXPECT_EQ(a.summary, (Connected(faultPort_) + Lines{"0 3 Connection timeout.", "TE_TIMEOUT"}));
  EXPECT_TRUE(TempContent() == source_.substr(0, 1000));
}

// Fails its first `failSends` sends, and makes the receives whose numbers
// (counted from 1) are listed come back empty.
class FlakyWorker : public SocketDownLoad {
 public:
  int failSends = 0;
  std::set<int> emptyReceives;
  int sends = 0;
  int receives = 0;

 protected:
  bool SendRequest() override {
    return ++sends > failSends && SocketDownLoad::SendRequest();
  }
  int ReceiveChunk(char* buffer, int capacity) override {
    if (emptyReceives.count(++receives)) return 0;
    return SocketDownLoad::ReceiveChunk(buffer, capacity);
  }
};

std::set<int> Numbers(std::initializer_list<std::pair<int, int>> spans) {
  std::set<int> out;
  for (auto [first, last] : spans)
    for (int i = first; i <= last; ++i) out.insert(i);
  return out;
}

TEST_F(WorkerTest, SendIsTriedTwentyTimes) {
  StartFaultServer();
  struct Case {
    int failSends;
    const char* last;
    int sends;
  } cases[] = {{19, "TE_COMPLETED", 20}, {20, "TE_SEND_FAILED", 20}, {1000, "TE_SEND_FAILED", 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failSends);
    platform::DeleteFile(temp());
    FlakyWorker w;
    w.failSends = c.failSends;
    Attempt a = RunAttemptWith(w, FaultUrl("ok"), temp(), 0);
    EXPECT_EQ(a.summary.back(), c.last);
    EXPECT_EQ(w.sends, c.sends);
  }
}

TEST_F(WorkerTest, TwentyEmptyReceivesAreToleratedOverTheWholeAttempt) {
  StartFaultServer();
  // Not in a row: the empty ones come at the start and again after data.
  struct Case {
    std::set<int> empty;
    Lines tail;
  } cases[] = {
      {Numbers({{1, 10}, {60, 69}}), kCompleted},
      {Numbers({{1, 10}, {60, 70}}), {"0 0 Failed to receive data.", "TE_RECV_FAILED"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.empty.size());
    platform::DeleteFile(temp());
    FlakyWorker w;
    w.emptyReceives = c.empty;
    Attempt a = RunAttemptWith(w, FaultUrl("ok"), temp(), 0);
    EXPECT_EQ(a.summary, Connected(faultPort_) + kReceiving + c.tail);
    if (c.tail == kCompleted) {
      EXPECT_TRUE(TempContent() == source_);
    } else {
      EXPECT_EQ(w.receives, 70);  // the 21st empty one ended it
      EXPECT_TRUE(TempContent() == source_.substr(0, TempContent().size()));
    }
  }
}

TEST_F(WorkerTest, CountersOfASlowDownload) {
  StartFaultServer();
  const auto began = std::chrono::steady_clock::now();
  Attempt a = RunAttempt(FaultUrl("slow"), temp(), 0, {}, [&](SocketDownLoad& w) {
    // While receiving: the loop's start is known, the counters move.
    ASSERT_TRUE(testsupport::WaitForBytes(w, kSize / 2));
    EXPECT_NE(w.startTick.load(), 0u);
    EXPECT_GT(w.downloaded.load(), 0);
  });
  const auto took = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began);
  ASSERT_EQ(a.last, TE_COMPLETED);
  // 32 KiB every 0.2 s: over a second, so speed and elapsed time were set,
  // and neither can exceed what the attempt really had.
  EXPECT_GE(a.elapsed, 1);
  EXPECT_LE(a.elapsed, took.count());
  EXPECT_GT(a.speed, 0);
  EXPECT_LE(a.speed, static_cast<int64_t>(kSize));
}

TEST_F(WorkerTest, ServerKilledHalfWayThenResumed) {
  // Slow enough to be caught half-way.
  StartNginx("    limit_rate 100k;");
  Attempt first = RunAttempt(nginx_.Url("/clip.bin"), temp(), 0, {}, [&](SocketDownLoad& w) {
    ASSERT_TRUE(testsupport::WaitForBytes(w, kSize / 2));
    nginx_.Kill();
  });
  ASSERT_TRUE(first.last == TE_RECV_FAILED || first.last == TE_RECV_ERROR) << first.last;
  const std::string part = TempContent();
  EXPECT_GE(part.size(), kSize / 2);
  ASSERT_LT(part.size(), kSize);
  EXPECT_TRUE(part == source_.substr(0, part.size()));
  EXPECT_EQ(first.downloaded, static_cast<int64_t>(part.size()));

  ASSERT_TRUE(nginx_.Restart());
  Attempt second = RunAttempt(nginx_.Url("/clip.bin"), temp(), first.total);
  EXPECT_EQ(second.summary, Connected(nginx_.port()) + kReceiving + kCompleted);
  EXPECT_NE(second.request[0].find("Range: bytes=" + std::to_string(part.size()) + "-\r\n"),
            std::string::npos);
  EXPECT_TRUE(TempContent() == source_);
}

}  // namespace
