#include "rtmp/rtmp_url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "rtmp/connection_params.h"
#include "tests/rtmp/captured_diag.h"

namespace {

using Text = std::optional<std::string>;
const Text kAbsent = std::nullopt;

struct UrlCase {
  const char* url;
  int portIn;
  bool ok;
  RtmpProtocol protocol;
  Text host;
  int port;
  Text app;
  Text playpath;
  const char* log;  // a line that must be written at WARNING threshold, or ""
};

TEST(ParseRtmpUrl, AddressTable) {
  const UrlCase cases[] = {
      {"RTMP://Host/app/clip.flv", 0, true, RTMP_PROTOCOL_RTMP, "Host", 1935, "app", "clip", ""},
      {"rtmpt://host:8080/app/mp4:show.mp4", 0, true, RTMP_PROTOCOL_RTMPT, "host", 8080, "app",
       "mp4:show.mp4", ""},
      {"rtmpt://host/app/x", 0, true, RTMP_PROTOCOL_RTMPT, "host", 80, "app", "x", ""},
      {"rtmp://host/app/show.f4v", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", "mp4:show.f4v",
       ""},
      {"rtmp://host/app/show.mp4", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", "mp4:show.mp4",
       ""},
      {"rtmp://host/app/a/b.FLV", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", "a/b.FLV", ""},
      {"rtmp://host:123456/app/x", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", "x",
       "\rWARNING: Port number is longer than 5 characters!\n"},
      {"rtmp://host:123456/app/x", 4000, true, RTMP_PROTOCOL_RTMP, "host", 4000, "app", "x",
       "\rWARNING: Port number is longer than 5 characters!\n"},
      {"rtmp://host:0/app/x", 4000, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", "x", ""},
      {"rtmp://host/app/x", 4000, true, RTMP_PROTOCOL_RTMP, "host", 4000, "app", "x", ""},
      {"rtmp://host/app/clip.mp4?auth=1", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app/clip.mp4",
       "", ""},
      {"rtmp://host", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, kAbsent, kAbsent,
       "\rWARNING: No application or playpath in URL!\n"},
      {"rtmp://host?x=1", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, kAbsent, kAbsent,
       "\rWARNING: No application or playpath in URL!\n"},
      {"rtmp://host/app", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", kAbsent, ""},
      {"rtmp://host/app/", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", kAbsent,
       "\rERROR: No playpath found!\n\rWARNING: No playpath in URL!\n"},
      {"rtmp://host/app?token=1/stream?x=2", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app",
       "stream", ""},
      {"rtmp://host/ondemand/123/clip", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "ondemand/123/",
       "clip", ""},
      {"rtmp://host/ondemand/abc/clip", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "ondemand",
       "abc/clip", ""},
      // No further "/": the ordinary rule.
      {"rtmp://host/ondemand/123", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "ondemand", "123",
       ""},
      // A play list: the whole remainder is the application, the first listed
      // stream the playpath, without the extension rule.
      {"rtmp://host/app?slist=clip.flv&x=1", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935,
       "app?slist=clip.flv&x=1", "clip.flv", ""},
      {"rtmp://host/app/x?slist=mp4:a.mp4", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935,
       "app/x?slist=mp4:a.mp4", "mp4:a.mp4", ""},
      {"rtmpe://host/app/x", 0, true, RTMP_PROTOCOL_RTMPE, "host", 0, "app", "x",
       "\rWARNING: Unknown protocol!\n\n"},
      {"RtmpTE://host/app/x", 0, true, RTMP_PROTOCOL_RTMPTE, "host", 0, "app", "x", ""},
      {"rtmfp://host/app/x", 0, true, RTMP_PROTOCOL_RTMFP, "host", 0, "app", "x", ""},
      {"http://host/app/x", 0, true, RTMP_PROTOCOL_RTMP, "host", 1935, "app", "x",
       "\rWARNING: Unknown protocol!\n\n"},
      {"host/app/x", 0, false, RTMP_PROTOCOL_RTMP, kAbsent, 0, kAbsent, kAbsent,
       "\rWARNING: RTMP URL: No :// in url!\n"},
      {"rtmp://", 0, false, RTMP_PROTOCOL_RTMP, kAbsent, 0, kAbsent, kAbsent,
       "\rWARNING: No hostname in URL!\n"},
      {"rtmp:///app/x", 0, false, RTMP_PROTOCOL_RTMP, kAbsent, 0, kAbsent, kAbsent,
       "\rWARNING: No hostname in URL!\n"},
      {"rtmp://:1935/app/x", 0, false, RTMP_PROTOCOL_RTMP, kAbsent, 0, kAbsent, kAbsent,
       "\rWARNING: No hostname in URL!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    CapturedDiag diag(DIAG_WARNING);
    RtmpProtocol protocol = RTMP_PROTOCOL_RTMPS;
    Text host, app, playpath;
    int port = c.portIn;
    EXPECT_EQ(ParseRtmpUrl(c.url, protocol, host, port, playpath, app), c.ok);
    EXPECT_EQ(protocol, c.protocol);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
    EXPECT_EQ(app, c.app);
    EXPECT_EQ(playpath, c.playpath);
    const std::string log = diag.Text();
    if (*c.log) {
      EXPECT_NE(log.find(c.log), std::string::npos) << log;
    } else if (c.protocol == RTMP_PROTOCOL_RTMP || c.protocol == RTMP_PROTOCOL_RTMPT) {
      EXPECT_EQ(log, "");
    }
  }
}

TEST(ParseRtmpUrl, OverlongAuthorityGivesNoHostButGoesOn) {
  CapturedDiag diag(DIAG_WARNING);
  const std::string url = "rtmp://" + std::string(250, 'h') + ":19350/app/x";  // 256 characters
  RtmpProtocol protocol;
  Text host, app, playpath;
  int port = 0;
  EXPECT_TRUE(ParseRtmpUrl(url, protocol, host, port, playpath, app));
  EXPECT_EQ(host, kAbsent);
  EXPECT_EQ(port, 19350);
  EXPECT_EQ(app, "app");
  EXPECT_EQ(playpath, "x");
  EXPECT_EQ(diag.Text(), "\rWARNING: Hostname exceeds 255 characters!\n");

  const std::string fits = "rtmp://" + std::string(255, 'h') + "/app/x";
  host.reset();
  EXPECT_TRUE(ParseRtmpUrl(fits, protocol, host, port, playpath, app));
  EXPECT_EQ(host, std::string(255, 'h'));
}

TEST(ParseRtmpUrl, DebugLinesNameEachPart) {
  CapturedDiag diag(DIAG_DEBUG);
  RtmpProtocol protocol;
  Text host, app, playpath;
  int port = 0;
  ASSERT_TRUE(ParseRtmpUrl("rtmp://h:99/a/b", protocol, host, port, playpath, app));
  EXPECT_EQ(diag.Text(),
            "\rDEBUG: Parsed host    : h\n\rDEBUG: Parsed port    : 99\n"
            "\rDEBUG: Parsed app     : a\n\rDEBUG: Parsed playpath: b\n");
}

TEST(RecorderConnectionParams, RtmpAndRtmpt) {
  const RtmpConnectionParams rtmp =
      MakeRecorderConnectionParams(RTMP_PROTOCOL_RTMP, "H", "A", "clip");
  EXPECT_EQ(rtmp.port, 1935);
  EXPECT_EQ(rtmp.tcUrl, "rtmp://H:1935/A");
  EXPECT_EQ(rtmp.app, "A");
  EXPECT_EQ(rtmp.playpath, "clip");
  EXPECT_EQ(rtmp.flashVer, "LNX 10,0,22,87");
  EXPECT_EQ(rtmp.bufferTimeMs, 36000000);
  EXPECT_EQ(rtmp.receiveTimeoutMs, 12000);
  EXPECT_FALSE(rtmp.swfUrl || rtmp.pageUrl || rtmp.auth || rtmp.subscribePath);
  EXPECT_FALSE(rtmp.liveStream);
  EXPECT_EQ(rtmp.seekMs, 0);
  EXPECT_EQ(rtmp.lengthMs, 0);

  const RtmpConnectionParams rtmpt =
      MakeRecorderConnectionParams(RTMP_PROTOCOL_RTMPT, "H", "ondemand/1/", "x");
  EXPECT_EQ(rtmpt.port, 80);
  EXPECT_EQ(rtmpt.tcUrl, "rtmpt://H:80/ondemand/1/");

  const RtmpConnectionParams noApp = MakeRecorderConnectionParams(RTMP_PROTOCOL_RTMP, "H", "", "x");
  EXPECT_FALSE(noApp.tcUrl);
  EXPECT_FALSE(noApp.app);
}

TEST(RecorderConnectionParams, TcUrlIsCutAt1023Characters) {
  const std::string app(2000, 'a');
  const auto tcUrl = BuildTcUrl(RTMP_PROTOCOL_RTMP, "H", 1935, app);
  ASSERT_TRUE(tcUrl);
  EXPECT_EQ(tcUrl->size(), 1023u);
  EXPECT_EQ(tcUrl->substr(0, 16), "rtmp://H:1935/aa");
  EXPECT_EQ(BuildTcUrl(static_cast<RtmpProtocol>(6), "H", 1, "A"), std::nullopt);
  EXPECT_EQ(BuildTcUrl(RTMP_PROTOCOL_RTMFP, "H", 1, "A"), "rtmpfp://H:1/A");
}

}  // namespace
