#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/capture/capture_address.h"
#include "app/capture/capture_block.h"
#include "app/capture/capture_intake.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "platform/shared_memory.h"
#include "tests/support/child_process.h"

namespace {

using L = capture::CaptureBlockLayout;

struct AddressCase {
  const char* name;
  std::vector<std::string> fields;  // as capture_block_writer takes them
  std::string address;
  std::string pattern;
};

// Each block is written by another process and read through the intake.
TEST(CaptureAddress, ComposedFromBlocksOfAnotherProcess) {
  const AddressCase cases[] = {
      {"request line and host",
       {"request=GET /v/clip.flv HTTP/1.1", "host=Host: video.example.net", "pattern=*.flv"},
       "http://video.example.net/v/clip.flv", "*.flv"},
      {"full address in the request line",
       {"request=GET http://cdn.example.org/a/b.mp4?x=1 HTTP/1.1", "host=Host: other.example", "pattern=*.mp4"},
       "http://cdn.example.org/a/b.mp4?x=1", "*.mp4"},
      {"full address in capitals",
       {"request=GET HTTPS://cdn.example.org/b.mp4 HTTP/1.1", "host=Host: other.example"},
       "HTTPS://cdn.example.org/b.mp4", ""},
      {"an empty host line",
       {"request=GET /v/clip.flv HTTP/1.1", "host=Host: "},
       "http:///v/clip.flv", ""},
      {"a target without version", {"request=GET /only", "host=Host: h"}, "http://h/only", ""},
      {"rtmp", {"rtmphost=fms.example.com", "rtmpapp=ondemand", "rtmppath=clip", "pattern=*.mp4"},
       "rtmp://fms.example.com/ondemand/clip", "*.flv"},
      {"rtmp application ending in a slash",
       {"rtmphost=fms.example.com", "rtmpapp=ondemand/", "rtmppath=clip"},
       "rtmp://fms.example.com/ondemand/clip", "*.flv"},
      {"rtmp prefix kept in any case",
       {"rtmphost=RTMP://fms.example.com", "rtmpapp=live", "rtmppath=s1"},
       "RTMP://fms.example.com/live/s1", "*.flv"},
      {"rtmpt",
       {"rtmpthost=tunnel.example.com:8080", "rtmptapp=vod", "rtmptpath=mp4:a.mp4"},
       "rtmpt://tunnel.example.com:8080/vod/mp4:a.mp4", "*.flv"},
      {"rtmp wins over rtmpt and http",
       {"request=GET /x HTTP/1.1", "host=Host: h", "rtmphost=a", "rtmpapp=b", "rtmppath=c", "rtmpthost=t"},
       "rtmp://a/b/c", "*.flv"},
  };
  Settings settings;
  settings.PlaySound = 0;
  settings.ShowCapturePopWnd = 0;
  DataModel model;
  capture::CaptureIntakeServices services;
  services.model = &model;
  services.settings = &settings;
  capture::CaptureIntake intake(services);

  uint32_t number = 0x7A000000u + static_cast<uint32_t>(::getpid() & 0xFFFF) * 16;
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.name);
    char hex[16];
    std::snprintf(hex, sizeof(hex), "%08X", ++number);
    std::vector<std::string> argv = {BLOCK_WRITER, hex};
    argv.insert(argv.end(), c.fields.begin(), c.fields.end());
    ASSERT_EQ(testsupport::RunCommand(argv), 0);
    const size_t before = intake.History().size();
    intake.OnCaptured(number);
    ASSERT_EQ(intake.History().size(), before + 1);
    EXPECT_EQ(intake.History().back().address, c.address);
    EXPECT_EQ(intake.History().back().pattern, c.pattern);
    // Read once, then gone.
    uint8_t probe;
    EXPECT_FALSE(platform::SharedMemory::ReadCopy(capture::CaptureBlockName(number), &probe, 1));
  }
}

TEST(CaptureAddress, HeaderValuesSpecialHostAndKeptFields) {
  capture::CaptureFields f;
  f.requestLine = "GET /a.flv HTTP/1.1";
  f.hostLine = "Host: h";
  f.refererLine = "Referer: http://page.example/";
  f.userAgentLine = "User-Agent: Tester/1.0";
  f.cookie = "a=1; b=2";
  f.text = "kept";
  f.value = -5;
  capture::CaptureRecord r = capture::ComposeCapture(f);
  EXPECT_EQ(r.referer, "http://page.example/");
  EXPECT_EQ(r.userAgent, "Tester/1.0");
  EXPECT_EQ(r.cookie, "a=1; b=2");
  EXPECT_EQ(r.text, "kept");
  EXPECT_EQ(r.value, -5);

  // Lines no longer than their names carry no value.
  f.refererLine = "Referer: ";
  f.userAgentLine = "User-Agent";
  r = capture::ComposeCapture(f);
  EXPECT_EQ(r.referer, "");
  EXPECT_EQ(r.userAgent, "");

  // The special host loses what follows "?" in the stored fields only.
  capture::CaptureFields s;
  s.rtmpHost = "news.stream.test";
  s.rtmpApp = "live?auth=1";
  s.rtmpPlayPath = "clip?token=2";
  r = capture::ComposeCapture(s, "news.stream.test");
  EXPECT_EQ(r.address, "rtmp://news.stream.test/live?auth=1/clip?token=2");
  EXPECT_EQ(r.rtmpApp, "live");
  EXPECT_EQ(r.rtmpPlayPath, "clip");
  r = capture::ComposeCapture(s, "other.host");
  EXPECT_EQ(r.rtmpApp, "live?auth=1");
}

TEST(CaptureBlock, FieldsWithoutTerminatorStopAtTheirEnd) {
  std::vector<uint8_t> block(L::kSize, 'A');
  const capture::CaptureFields f = capture::ReadCaptureBlock(block.data());
  EXPECT_EQ(f.requestLine.size(), 3000u);
  EXPECT_EQ(f.hostLine.size(), 200u);
  EXPECT_EQ(f.pattern.size(), 20u);
  EXPECT_EQ(f.rtmpHost.size(), 100u);
  EXPECT_EQ(f.rtmptPlayPath.size(), 3000u);
  EXPECT_EQ(f.value, 0x41414141);

  // Written back, every field ends in a terminator and the cut is reported.
  std::vector<uint8_t> out(L::kSize);
  EXPECT_FALSE(capture::WriteCaptureBlock(f, out.data()));
  EXPECT_EQ(out[L::kHost + 199], 0);
  EXPECT_EQ(out[L::kHost + 198], 'A');
  EXPECT_EQ(out[L::kRtmptPlayPath + 2999], 0);
  EXPECT_EQ(capture::ReadCaptureBlock(out.data()).hostLine.size(), 199u);

  capture::CaptureFields small;
  small.hostLine = "Host: x";
  small.value = 7;
  ASSERT_TRUE(capture::WriteCaptureBlock(small, out.data()));
  EXPECT_EQ(std::memcmp(out.data() + L::kHost, "Host: x\0", 8), 0);
  EXPECT_EQ(std::memcmp(out.data() + L::kValue, "\x07\0\0\0", 4), 0);
  EXPECT_EQ(capture::CaptureBlockName(0xAB), "QUORLIN_DL_000000AB");
}

}  // namespace
