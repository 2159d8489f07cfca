// The player movie in a control of the player view's size, and the media
// its tests play: ffmpeg's synthetic picture and tone in each container and
// codec pair the player meets.
#pragma once

#include <QFile>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "flash/invoke_request.h"
#include "flash/mpv_video.h"
#include "flash/player_movie.h"
#include "flash/player_movie_file.h"
#include "tests/flash/flash_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/sandbox.h"

namespace flashtest {

inline constexpr int kClipSeconds = 2;

struct Media {
  const char* file;
  bool hasVideo;
};

inline const Media kMedia[] = {
    {"h264_aac.flv", true},
    {"h263_mp3.flv", true},
    {"h264_aac.mp4", true},
    {"aac_only.flv", false},
};

// The media, made once for all tests.
class MediaFiles {
 public:
  static MediaFiles& Get() {
    static MediaFiles* files = new MediaFiles;
    return *files;
  }
  std::string Path(const std::string& name) const { return dir_.path(name); }
  bool ok() const { return ok_; }

 private:
  MediaFiles() {
    ok_ = testsupport::MakeMediaFlv(Path("h264_aac.flv"), kClipSeconds, "libx264", "aac") &&
          testsupport::MakeMediaFlv(Path("h263_mp3.flv"), kClipSeconds, "flv", "libmp3lame") &&
          testsupport::MakeMediaFlv(Path("aac_only.flv"), kClipSeconds, "", "aac") &&
          testsupport::RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                   "testsrc=size=160x120:rate=25", "-f", "lavfi", "-i",
                                   "sine=frequency=440:sample_rate=22050", "-t", std::to_string(kClipSeconds),
                                   "-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart",
                                   Path("h264_aac.mp4")}) == 0;
  }
  testsupport::Sandbox dir_;
  bool ok_ = false;
};

class PlayerMovieTest : public ::testing::Test {
 public:

 protected:
  void SetUp() override {
    App();
    moviePath_ = sandbox_.path(flash::kPlayerMovieFileName);
    testsupport::WriteWholeFile(moviePath_, flash::PlayerMovieResource().toStdString());
    control_ = std::make_unique<flash::FlashControl>(nullptr, 2000);
    control_->resize(400, 300);
    control_->show();
    log_ = std::make_unique<CommandLog>(*control_);
    control_->LoadMovie(0, QString::fromStdString(moviePath_));
    ASSERT_NE(player(), nullptr);
  }

  flash::PlayerMovie* player() const { return qobject_cast<flash::PlayerMovie*>(control_->CurrentMovie()); }
  void Call(const std::string& request) { control_->CallFunction(QString::fromStdString(request)); }

  // Plays `target` to its end and checks the whole sequence of commands.
  void ExpectFullSequence(const std::string& target, bool hasVideo) {
    Call(flash::invoke::SetMoive(target));
    ASSERT_TRUE(WaitUntil([&] { return log_->Count("playfinish") > 0 || log_->Count("StreamNotFound") > 0; }))
        << log_->Summary();
    ASSERT_EQ(log_->Count("StreamNotFound"), 0) << log_->Summary();
    if (hasVideo) {
      EXPECT_EQ(log_->Count("width"), 1) << log_->Summary();
      EXPECT_EQ(log_->Count("height"), 1) << log_->Summary();
      EXPECT_LT(log_->IndexOf("width"), log_->IndexOf("height"));
      EXPECT_EQ(log_->ArgOf("width"), "160");
      EXPECT_EQ(log_->ArgOf("height"), "120");
    } else {
      EXPECT_EQ(log_->Count("width"), 0) << log_->Summary();
    }
    EXPECT_EQ(log_->Count("duration"), 1) << log_->Summary();
    EXPECT_NEAR(log_->ArgOf("duration").toDouble(), kClipSeconds, 0.25);
    const std::vector<double> times = log_->Numbers("playtime");
    ASSERT_GE(times.size(), 2u);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i], times[i - 1]);
    EXPECT_GT(times.back(), times.front());
    EXPECT_GT(times.back(), kClipSeconds - 0.5);
    EXPECT_EQ(log_->Count("playfinish"), 1);
    EXPECT_FALSE(player()->BufferingShown());
  }

  // Starts `file` from the media and waits for its size; the picture is then
  // shown at 100 %.
  void StartAndWaitForSize(const std::string& file) {
    ASSERT_TRUE(MediaFiles::Get().ok());
    Call(flash::invoke::SetMoive(MediaFiles::Get().Path(file)));
    ASSERT_TRUE(WaitUntil([&] { return log_->Count("height") > 0; })) << log_->Summary();
    Call(flash::invoke::SetSize(100));
  }

  testsupport::Sandbox sandbox_;
  std::string moviePath_;
  std::unique_ptr<flash::FlashControl> control_;
  std::unique_ptr<CommandLog> log_;
};

}  // namespace flashtest
