// Progressive play waits for two seconds of media: through an HTTP peer that
// sends barely faster than the media plays, the player movie shows its
// buffering indicator and holds its position at the start until the buffer
// holds about two seconds, then plays to the end.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/flash/player_fixture.h"
#include "tests/support/nginx_peer.h"

namespace {

using flashtest::PlayerMovieTest;
using flashtest::WaitUntil;

constexpr int kClipSeconds = 8;

TEST_F(PlayerMovieTest, ThrottledStreamStartsWithTwoSecondsBuffered) {
  if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx is not installed";
  const std::string clip = sandbox_.path("clip.flv");
  // A steady bitrate, so that bytes and seconds of media go together.
  ASSERT_EQ(testsupport::RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
                                     "sine=frequency=440:sample_rate=22050", "-t", std::to_string(kClipSeconds),
                                     "-c:v", "libx264", "-b:v", "800k", "-maxrate", "800k", "-bufsize", "200k",
                                     "-g", "25", "-c:a", "aac", "-f", "flv", clip}),
            0);
  const size_t bytes = testsupport::ReadWholeFile(clip).size();
  // A quarter faster than the media plays: two seconds of it take well over
  // a second to arrive.
  const size_t rate = bytes * 5 / 4 / kClipSeconds;
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start(sandbox_.dir(), "limit_rate " + std::to_string(rate) + ";"));

  struct Sample {
    double playtime;
    bool buffering;
  };
  std::vector<Sample> samples;
  double bufferedAtStart = -1, positionAtStart = -1;
  QObject::connect(control_.get(), &flash::FlashControl::FSCommand, control_.get(),
                   [&](const QString& command, const QString& arg) {
                     if (command == QLatin1String("playtime"))
                       samples.push_back({arg.toDouble(), player()->BufferingShown()});
                   });
  Call(flash::invoke::SetMoive(nginx.Url("/clip.flv")));
  flash::MpvVideo* video = player()->Video();
  ASSERT_NE(video, nullptr);
  QObject::connect(video, &flash::MpvVideo::BufferingChanged, control_.get(), [&](bool buffering) {
    if (!buffering && bufferedAtStart < 0) {
      bufferedAtStart = video->BufferedAhead();
      positionAtStart = video->Position();
    }
  });

  ASSERT_TRUE(WaitUntil([&] { return log_->Count("playfinish") > 0 || log_->Count("StreamNotFound") > 0; }))
      << log_->Summary();
  ASSERT_EQ(log_->Count("StreamNotFound"), 0) << log_->Summary();

  // Play began with about two seconds in the buffer, from the start.
  ASSERT_GE(bufferedAtStart, 0) << "the buffering indicator never went away";
  EXPECT_GE(bufferedAtStart + positionAtStart, 1.5) << bufferedAtStart << " + " << positionAtStart;
  EXPECT_LT(positionAtStart, 0.5);

  // The indicator was up from the first frame of the movie, and while it
  // was up the position stood still at the start.
  ASSERT_FALSE(samples.empty());
  EXPECT_TRUE(samples.front().buffering);
  size_t waiting = 0;
  while (waiting < samples.size() && samples[waiting].buffering) {
    // At most the first picture's time stamp.
    EXPECT_LT(samples[waiting].playtime, 0.2) << "frame " << waiting;
    ++waiting;
  }
  EXPECT_GT(waiting, 1u);
  // Then it went away and the position rose to the end.
  ASSERT_LT(waiting, samples.size());
  EXPECT_GT(samples.back().playtime, kClipSeconds - 1);
  EXPECT_FALSE(samples.back().buffering);
}

}  // namespace
