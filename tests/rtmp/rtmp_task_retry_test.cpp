// A stream task the server does not have, through the task runner: each try
// makes one connection and fails with the server's answer, and the task's
// retry rules end it.
#include <gtest/gtest.h>

#include <string>

#include "core/stream_attempt.h"
#include "rtmp/rtmp_recorder.h"
#include "tests/app/runner_fixture.h"
#include "tests/peers/rtmp_script_server.h"

namespace runnertest {
namespace {

using namespace testpeers;

class StreamTaskRetries : public RunnerTest {
 protected:
  StreamTaskRetries() { SetStreamRecorder(&recorder_); }
  ~StreamTaskRetries() override { SetStreamRecorder(nullptr); }
  RtmpStreamRecorder recorder_;
};

TEST_F(StreamTaskRetries, MissingStreamFailsAfterOneConnectionPerTry) {
  RtmpScriptServer server;
  server.RunEach([](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
    conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.StreamNotFound", "error"));
    conn.WaitClosed();
  });
  settings.RetryTimes = 2;
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  const int32_t t = AddTask("rtmp://" + host + "/vod/clip", "clip.flv");
  Task(t).RTMPHost = host;
  Task(t).RTMPApp = "vod";
  Task(t).RTMPPlayPath = "clip";
  runner->StartTask(t, 1);
  for (int retry = 0; retry < settings.RetryTimes; ++retry) {
    ASSERT_TRUE(SettlesIn(t, Retrying)) << "try " << retry;
    ASSERT_TRUE(clock.AdvanceToNextTimer());
  }
  ASSERT_TRUE(SettlesIn(t, Failed));
  server.Stop();
  EXPECT_EQ(server.clients(), 3);
  EXPECT_TRUE(LogHas(Task(t), "The server refused the stream (NetStream.Play.StreamNotFound)."));
}

}  // namespace
}  // namespace runnertest
