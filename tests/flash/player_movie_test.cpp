// The player movie against real media made by ffmpeg, from files and from
// the test peers: the commands it sends while playing, and its failures.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "tests/flash/player_fixture.h"
#include "tests/support/nginx_peer.h"

// Fontconfig keeps its caches to the end of the process; that is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using flashtest::kMedia;
using flashtest::Media;
using flashtest::MediaFiles;
using flashtest::PlayerMovieTest;
using flashtest::WaitUntil;

TEST_F(PlayerMovieTest, PlaysEachKindOfMediaFromAFile) {
  ASSERT_TRUE(MediaFiles::Get().ok());
  for (const Media& m : kMedia) {
    SCOPED_TRACE(m.file);
    log_->Clear();
    ExpectFullSequence(MediaFiles::Get().Path(m.file), m.hasVideo);
  }
}

}  // namespace

namespace {

class PlayerFromPeersTest : public PlayerMovieTest {
 protected:
  void SetUp() override {
    PlayerMovieTest::SetUp();
    if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx with its RTMP module is not installed";
    ASSERT_TRUE(MediaFiles::Get().ok());
  }
};

TEST_F(PlayerFromPeersTest, PlaysEachKindOfMediaThroughHttp) {
  testsupport::NginxPeer nginx;
  for (const Media& m : kMedia)
    testsupport::WriteWholeFile(sandbox_.path(m.file), testsupport::ReadWholeFile(MediaFiles::Get().Path(m.file)));
  ASSERT_TRUE(nginx.Start(sandbox_.dir()));
  for (const Media& m : kMedia) {
    SCOPED_TRACE(m.file);
    log_->Clear();
    ExpectFullSequence(nginx.Url(std::string("/") + m.file), m.hasVideo);
  }
}

TEST_F(PlayerFromPeersTest, PlaysEachKindOfMediaThroughRtmp) {
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start());
  for (const Media& m : kMedia)
    testsupport::WriteWholeFile(nginx.media_dir() + m.file,
                                testsupport::ReadWholeFile(MediaFiles::Get().Path(m.file)));
  for (const Media& m : kMedia) {
    SCOPED_TRACE(m.file);
    log_->Clear();
    ExpectFullSequence("rtmp://127.0.0.1:" + std::to_string(nginx.port()) + "/vod/" + m.file, m.hasVideo);
  }
}

TEST_F(PlayerFromPeersTest, ReportsStreamNotFound) {
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start(sandbox_.dir()));
  const std::string refused = std::to_string(testsupport::FreeTcpPort());
  const std::string targets[] = {
      sandbox_.path("missing.flv"),
      "relative/missing.flv",
      nginx.Url("/missing.flv"),
      "http://127.0.0.1:" + refused + "/a.flv",
      "rtmp://127.0.0.1:" + refused + "/vod/a.flv",
  };
  for (const std::string& t : targets) {
    SCOPED_TRACE(t);
    log_->Clear();
    Call(flash::invoke::SetMoive(t));
    ASSERT_TRUE(WaitUntil([&] { return log_->Count("StreamNotFound") > 0; })) << log_->Summary();
    EXPECT_EQ(log_->Count("width"), 0);
    EXPECT_EQ(log_->Count("playfinish"), 0);
    // The movie stays quiet afterwards.
    log_->Clear();
    flashtest::Spin(300);
    EXPECT_TRUE(log_->entries().empty()) << log_->Summary();
  }
}

TEST_F(PlayerMovieTest, EmptySetMoiveLeavesTheMovieStoppedAndEmpty) {
  StartAndWaitForSize("h264_aac.flv");
  Call(flash::invoke::SetMoive(""));
  EXPECT_FALSE(player()->Video()->IsOpen());
  EXPECT_TRUE(player()->PictureRect().isEmpty());
  log_->Clear();
  flashtest::Spin(300);
  EXPECT_TRUE(log_->entries().empty()) << log_->Summary();
}

TEST_F(PlayerMovieTest, SeeksToWholeSecondsAndStopsAtTheStart) {
  StartAndWaitForSize("h264_aac.flv");
  Call(flash::invoke::PauseMovie());
  Call(flash::invoke::SetProcess(1.9));
  const auto near = [&](double target) {
    return WaitUntil([&] {
      const auto t = log_->Numbers("playtime");
      return !t.empty() && std::abs(t.back() - target) < 0.05;
    });
  };
  EXPECT_TRUE(near(1.0)) << "last playtime " << log_->Numbers("playtime").back();
  Call(flash::invoke::StopMovie());
  EXPECT_TRUE(near(0.0)) << "last playtime " << log_->Numbers("playtime").back();
  EXPECT_FALSE(player()->BufferingShown());
  // Stopped means paused: time stands still.
  log_->Clear();
  flashtest::Spin(400);
  for (double t : log_->Numbers("playtime")) EXPECT_LT(t, 0.05);
}

TEST_F(PlayerMovieTest, CloseMovieEndsTheStream) {
  StartAndWaitForSize("h264_aac.flv");
  Call(flash::invoke::CloseMovie());
  EXPECT_FALSE(player()->Video()->IsOpen());
  log_->Clear();
  flashtest::Spin(300);
  EXPECT_TRUE(log_->entries().empty()) << log_->Summary();
}

}  // namespace

namespace {

TEST_F(PlayerMovieTest, PlaysAFileWhoseNameHoldsMarkupCharacters) {
  const std::string awkward = sandbox_.path("a & b <c> \"d\".flv");
  ASSERT_TRUE(MediaFiles::Get().ok());
  testsupport::WriteWholeFile(awkward, testsupport::ReadWholeFile(MediaFiles::Get().Path("h264_aac.flv")));
  ExpectFullSequence(awkward, true);
}

}  // namespace

namespace {

// Only stream addresses of the kinds the hosts send reach the media engine as
// addresses; any other text is a file name, so none can open the engine's
// generated, in-memory or device sources.
TEST_F(PlayerMovieTest, OtherSourcesOfTheMediaEngineAreNotReachable) {
  const std::string targets[] = {
      "av://lavfi:testsrc",
      "lavf://testsrc",
      "memory://FLV",
      "RMTP://127.0.0.1/vod/a.flv",
  };
  for (const std::string& t : targets) {
    SCOPED_TRACE(t);
    log_->Clear();
    Call(flash::invoke::SetMoive(t));
    ASSERT_TRUE(WaitUntil([&] { return log_->Count("StreamNotFound") > 0 || log_->Count("width") > 0; }))
        << log_->Summary();
    EXPECT_EQ(log_->Count("width"), 0) << log_->Summary();
  }
}

}  // namespace
