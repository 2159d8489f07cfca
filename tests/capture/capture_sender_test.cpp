#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/capture/capture_intake.h"
#include "app/capture/capture_messages.h"
#include "app/capture/capture_sender.h"
#include "app/capture/monitor_bridge.h"
#include "app/capture/monitor_map.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "platform/message_port.h"
#include "platform/shared_memory.h"
#include "tests/capture/fake_tamborel.h"
#include "tests/capture/run_capture_tool.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using testsupport::CaptureBlocksLeft;
using testsupport::FakeTamborel;
using testsupport::RunCaptureTool;
using testsupport::ToolRun;

class CaptureSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SharedMemory::Unlink(capture::kMonitorMapName); }
  testsupport::Sandbox sandbox;
  testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", sandbox.dir().c_str()};
};

TEST_F(CaptureSenderTest, RefusalsExitTwoWithTheirReason) {
  EXPECT_EQ(RunCaptureTool({"http://h/a.flv"}).output, "tamborel-capture: no running Tamborel\n");
  {
    FakeTamborel tamborel;
    ASSERT_TRUE(tamborel.Start());
    const struct {
      std::vector<std::string> args;
      std::string line;
    } cases[] = {
        {{"--browser", "chrome.exe", "http://h/a.flv"}, "browser \"chrome.exe\" is not monitored"},
        {{"--browser", "firefoxy", "http://h/a.flv"}, "browser \"firefoxy\" is not monitored"},
        {{"http://h/a.swf"}, "type \"*.swf\" is not monitored"},
        {{"--pattern=*.txt", "http://h/a.flv"}, "type \"*.txt\" is not monitored"},
        {{"http://h/page"}, "the address names no file type"},
    };
    for (const auto& c : cases) {
      const ToolRun run = RunCaptureTool(c.args);
      EXPECT_EQ(run.code, 2) << c.line;
      EXPECT_EQ(run.output, "tamborel-capture: " + c.line + "\n");
    }
    tamborel.bridge.SetMonitoring(false);
    EXPECT_EQ(RunCaptureTool({"http://h/a.flv"}).output, "tamborel-capture: monitoring is off in Tamborel\n");
    tamborel.bridge.SetMonitoring(true);

    // The map is there but its window does not answer.
    tamborel.port.Close();
    const ToolRun run = RunCaptureTool({"http://h/a.flv"});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.output, "tamborel-capture: no running Tamborel\n");
    EXPECT_TRUE(tamborel.History().empty());
  }
  EXPECT_TRUE(CaptureBlocksLeft().empty());
}

TEST_F(CaptureSenderTest, CapturedAddressesReachTheIntake) {
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  const struct {
    std::vector<std::string> args;
    std::string address, pattern;
    std::string referer = "", userAgent = "", cookie = "";
    std::string rtmpHost = "", rtmpApp = "", rtmpPlayPath = "", rtmptHost = "";
  } cases[] = {
      {{"--referer", "http://page/", "--user-agent", "UA/2", "--cookie", "s=1", "--browser", "FIREFOX.EXE",
        "http://127.0.0.1:8080/v/clip.flv?x=1#frag"},
       "http://127.0.0.1:8080/v/clip.flv?x=1", "*.flv", "http://page/", "UA/2", "s=1"},
      {{"--pattern", "*.FLV", "http://h"}, "http://h/", "*.flv"},
      {{"--browser", "firefox-esr", "http://h/b.flv"}, "http://h/b.flv", "*.flv"},  // named by "firefox.exe"
      {{"https://secure.example/m/a.MP4"}, "https://secure.example/m/a.MP4", "*.mp4"},
      {{"rtmp://127.0.0.1:1936/vod/clip.flv"}, "rtmp://127.0.0.1:1936/vod/clip", "*.flv", "", "", "",
       "127.0.0.1:1936", "vod", "clip"},
      {{"rtmpt://tunnel.example/live/stream"}, "rtmpt://tunnel.example/live/stream", "*.flv", "", "", "", "", "",
       "", "tunnel.example"},
  };
  size_t n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const ToolRun run = RunCaptureTool(c.args);
    ASSERT_EQ(run.code, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const std::vector<capture::CaptureRecord> history = tamborel.History();
    ASSERT_EQ(history.size(), ++n);
    const capture::CaptureRecord& r = history.back();
    testsupport::ExpectCapture(r, {c.address, c.pattern, c.referer, c.userAgent, c.cookie});
    EXPECT_EQ(r.rtmpHost, c.rtmpHost);
    EXPECT_EQ(r.rtmpApp, c.rtmpApp);
    EXPECT_EQ(r.rtmpPlayPath, c.rtmpPlayPath);
    EXPECT_EQ(r.rtmptHost, c.rtmptHost);
  }
  EXPECT_TRUE(CaptureBlocksLeft().empty());
}

TEST_F(CaptureSenderTest, OtherErrorsExitOne) {
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  const std::vector<std::string> cases[] = {
      {},
      {"--pattern"},
      {"--color", "http://h/a.flv"},
      {"http://h/a.flv", "http://h/b.flv"},
      {"--pattern", "*.flv", "ftp://h/a.flv"},
      {"http://h/" + std::string(3100, 'a') + ".flv"},
      {"--referer", std::string(3000, 'r'), "http://h/a.flv"},
  };
  for (const auto& args : cases) {
    const ToolRun run = RunCaptureTool(args);
    EXPECT_EQ(run.code, 1) << run.output;
    EXPECT_EQ(run.output.rfind("tamborel-capture: ", 0), 0u) << run.output;
  }
  EXPECT_TRUE(tamborel.History().empty());
  EXPECT_TRUE(CaptureBlocksLeft().empty());
}

TEST_F(CaptureSenderTest, ABlockNobodyReadsIsRemovedAfterAWhile) {
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  tamborel.readBlocks = false;
  capture::CaptureRequest request;
  request.url = "http://h/a.flv";
  const capture::CaptureOutcome outcome = capture::SendCapture(request, {200});
  EXPECT_EQ(outcome.ExitCode(), 0);
  EXPECT_TRUE(CaptureBlocksLeft().empty());
}

TEST(CapturePattern, FoundFromTheAddress) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://h/a/b.flv", "*.flv"},      {"http://h/a/b.FLV?x=1.mp4", "*.FLV"}, {"http://h/a.b/c", ""},
      {"http://h.flv", ""},               {"http://h/a.flv#x.mp4", "*.flv"},     {"rtmp://h/app/stream", "*.flv"},
      {"rtmp://h/app/mp4:a.mp4", "*.mp4"}, {"http://h/dir.", ""},
  };
  for (const auto& [url, pattern] : cases) EXPECT_EQ(capture::PatternOfAddress(url), pattern) << url;
}

}  // namespace
