// Stream tasks through the worker itself: an rtmp:// task recorded from
// nginx, and stops from the user-interface thread while the recording reads,
// which close the published connection and never a destroyed one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "core/stream_attempt.h"
#include "http/socket_download.h"
#include "http/task_events.h"
#include "rtmp/rtmp_recorder.h"
#include "tests/http/worker_harness.h"
#include "tests/peers/rtmp_script_server.h"
#include "tests/support/flv_media.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"

namespace {

class StreamWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetStreamRecorder(&recorder_); }
  void TearDown() override { SetStreamRecorder(nullptr); }

  TaskRequest Request(int port) const {
    TaskRequest request;
    request.RTMPHost = "127.0.0.1:" + std::to_string(port);
    request.RTMPApp = "vod";
    request.RTMPPlayPath = "clip";
    return request;
  }

  RtmpStreamRecorder recorder_;
  testsupport::Sandbox box_;
};

TEST_F(StreamWorkerTest, RecordsAnRtmpTask) {
  if (!testsupport::NginxPeer::Available() || !testsupport::HaveProgram("ffmpeg"))
    GTEST_SKIP() << "nginx with the RTMP module, or ffmpeg, is not installed";
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start()) << nginx.ErrorLog();
  ASSERT_TRUE(testsupport::MakeMediaFlv(nginx.media_dir() + "clip.flv", 3, "libx264", "aac"));
  const std::string temp = box_.path("{1_clip}.TMP!");
  const testsupport::Attempt a =
      testsupport::RunAttempt("rtmp://127.0.0.1:" + std::to_string(nginx.port()) + "/vod/clip.flv",
                              temp, 0, Request(nginx.port()));
  EXPECT_EQ(a.last, TE_COMPLETED);
  const std::string connecting = "0 0 Connecting 127.0.0.1:" + std::to_string(nginx.port()) + "...";
  EXPECT_NE(std::find(a.summary.begin(), a.summary.end(), connecting), a.summary.end());
  EXPECT_GT(a.downloaded, 0);
  EXPECT_EQ(a.total, a.downloaded);
  EXPECT_EQ(testsupport::DecodeErrors(temp), "");
}

TEST_F(StreamWorkerTest, ControlsFromTheUserInterfaceThread) {
  struct Case {
    const char* name;
    void (SocketDownLoad::*control)();
    int32_t event;
  };
  const Case cases[] = {
      {"stop", &SocketDownLoad::Stop, TE_CANCELED},
      {"delete", &SocketDownLoad::Delete, TE_DELETED},
      {"time-out", &SocketDownLoad::TimeOut, TE_TIMEOUT},
  };
  for (const Case& c : cases) {
    // A few moments after the recording started reading, the read blocked.
    for (int delayMs : {0, 1, 3, 20}) {
      SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(delayMs) + " ms");
      testpeers::RtmpScriptServer server;
      std::atomic<bool> playing{false};
      server.Run([&playing](testpeers::RtmpScriptConn& conn) {
        if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
        conn.SendMessage(6, 9, 0, 1, std::string("\x17\x01\x00\x00\x00key", 8));
        playing = true;
        conn.WaitClosed(10000);
      });
      const testsupport::Attempt a =
          testsupport::RunAttempt("rtmp://127.0.0.1/vod/clip", box_.path("clip.tmp"), 0,
                                  Request(server.port()), [&](SocketDownLoad& worker) {
                                    for (int i = 0; i < 5000 && !playing; ++i)
                                      std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                                    (worker.*c.control)();
                                  });
      server.Join();
      EXPECT_EQ(a.last, c.event);
      // Exactly one outcome.
      int outcomes = 0;
      for (const std::string& line : a.summary)
        if (line == TaskEventName(c.event)) ++outcomes;
      EXPECT_EQ(outcomes, 1);
    }
  }
}

}  // namespace
