#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <memory>

#include "flash/invoke_request.h"
#include "player/wnd_player_control.h"

namespace {

namespace inv = flash::invoke;

class PlayerControlTest : public testing::Test {
 protected:
  void SetUp() override { Make(); }

  void Make() {
    bar_.reset();
    bar_ = std::make_unique<CWndPlayerControl>(
        &settings_,
        [this](const std::string& r) {
          sent_.push_back(r);
          return callsWork_;
        },
        [this] { return movieOpen_; });
    bar_->resize(500, CWndPlayerControl::kHeight);
    bar_->show();
    QObject::connect(bar_.get(), &CWndPlayerControl::PlayStateChanged, [this] { ++stateChanges_; });
  }

  // A movie open with a known duration and position.
  void Playing(const char* duration, const char* position) {
    movieOpen_ = true;
    ASSERT_TRUE(bar_->Load("/v/clip.flv"));
    bar_->MovieCommand("duration", duration);
    bar_->MovieCommand("playtime", position);
    sent_.clear();
  }

  PlayerSettings settings_;
  std::vector<std::string> sent_;
  bool callsWork_ = true;
  bool movieOpen_ = false;
  int stateChanges_ = 0;
  std::unique_ptr<CWndPlayerControl> bar_;
};

TEST_F(PlayerControlTest, ForwardAndBackwardStayInsideTheMovie) {
  struct Case { const char* duration; const char* position; bool forward; double seconds; };
  const Case cases[] = {
      {"100", "95", true, 98.0},   // would pass the end: 2 s before it
      {"100", "10", true, 15.0},
      {"1", "0.99", true, 0.0},    // end minus 2 s lies before the start
      {"100", "3", false, 0.0},    // not below 0
      {"100", "50", false, 45.0},
  };
  for (const Case& c : cases) {
    Playing(c.duration, c.position);
    if (c.forward) bar_->Forward(); else bar_->Backward();
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0], inv::SetProcess(c.seconds)) << c.duration << " " << c.position;
  }
}

TEST_F(PlayerControlTest, PlaytimeAndDurationConversion) {
  Playing("100", "0");
  bar_->MovieCommand("PLAYTIME", "12.3456");
  EXPECT_EQ(bar_->PositionMs(), 12345);
  EXPECT_EQ(bar_->SeekBar()->Pos(), 12345);
  EXPECT_EQ(bar_->SeekBar()->RangeMax(), 100000);
  // While dragging the seek bar stays where the user holds it.
  QTest::mousePress(bar_->SeekBar(), Qt::LeftButton, {}, QPoint(5, 5));
  bar_->MovieCommand("playtime", "50");
  EXPECT_EQ(bar_->PositionMs(), 50000);
  EXPECT_EQ(bar_->SeekBar()->Pos(), 0);
  QTest::mouseRelease(bar_->SeekBar(), Qt::LeftButton, {}, QPoint(5, 5));
}

TEST_F(PlayerControlTest, TimeTextBeforeTheDurationArrives) {
  movieOpen_ = true;
  ASSERT_TRUE(bar_->Load("/v/clip.flv"));
  bar_->MovieCommand("playtime", "3725");
  EXPECT_EQ(bar_->TimeText(), "01:02:05");
  bar_->MovieCommand("duration", "7200");
  EXPECT_EQ(bar_->TimeText(), "01:02:05 / 02:00:00");
}

TEST_F(PlayerControlTest, SeekBarSendsNothingWhileItsMaximumIsZero) {
  Playing("0", "0");
  QTest::mousePress(bar_->SeekBar(), Qt::LeftButton, {}, QPoint(250, 5));
  QTest::mouseRelease(bar_->SeekBar(), Qt::LeftButton, {}, QPoint(250, 5));
  EXPECT_TRUE(sent_.empty());

  bar_->MovieCommand("duration", "100");
  sent_.clear();
  // (x - 5) * max / (width - 10): the middle of a 500-pixel bar is 50 s.
  QTest::mousePress(bar_->SeekBar(), Qt::LeftButton, {}, QPoint(250, 5));
  QTest::mouseRelease(bar_->SeekBar(), Qt::LeftButton, {}, QPoint(250, 5));
  ASSERT_EQ(sent_.size(), 2u);
  EXPECT_EQ(sent_[0], inv::SetProcess(50.0));
}

TEST_F(PlayerControlTest, DraggingTheVolumeWhileMutedUnmutesFirst) {
  bar_->Mute();
  ASSERT_TRUE(bar_->IsMuted());
  EXPECT_EQ(sent_.back(), inv::SetSound(0));
  sent_.clear();
  CBmpSlider* volume = bar_->VolumeBar();
  // x = 5 + 40 % of (width - 10)
  int x = 5 + ((volume->width() - 10) * 40 + 99) / 100;
  QTest::mousePress(volume, Qt::LeftButton, {}, QPoint(x, 4));
  EXPECT_FALSE(bar_->IsMuted());
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0], inv::SetSound(40));
  QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(x, 4));
  // Unmuting again later restores the bar's volume.
  bar_->Mute();
  bar_->Mute();
  EXPECT_EQ(sent_.back(), inv::SetSound(40));
}

TEST_F(PlayerControlTest, PlayfinishRewindsOrRepeats) {
  Playing("10", "10");
  bar_->MovieCommand("playfinish", "");
  EXPECT_EQ(sent_, (std::vector<std::string>{inv::SetProcess(0), inv::PauseMovie()}));
  EXPECT_FALSE(bar_->IsPlaying());
  EXPECT_EQ(bar_->PositionMs(), 0);

  settings_.Repeat = true;
  Playing("10", "10");
  bar_->MovieCommand("playfinish", "");
  EXPECT_EQ(sent_, (std::vector<std::string>{inv::SetProcess(0), inv::PlayMovie()}));
  EXPECT_TRUE(bar_->IsPlaying());
}

TEST_F(PlayerControlTest, PlaybackNeedsAnOpenMovie) {
  bar_->PlayPause();
  bar_->Stop();
  bar_->Forward();
  bar_->Backward();
  bar_->MovieCommand("duration", "10");
  EXPECT_TRUE(sent_.empty());
  EXPECT_EQ(bar_->DurationMs(), 0);
  EXPECT_EQ(bar_->TimeText(), "No video");
  bar_->Mute();  // works without a movie
  EXPECT_EQ(sent_.size(), 1u);
}

TEST_F(PlayerControlTest, LoadPlayPauseStopAndCloseReportTheirState) {
  movieOpen_ = true;
  ASSERT_TRUE(bar_->Load("/v/a&b<c.flv"));
  EXPECT_EQ(sent_.back(), inv::SetMoive("/v/a&b<c.flv"));
  EXPECT_TRUE(bar_->IsPlaying());
  int changes = stateChanges_;
  bar_->PlayPause();
  EXPECT_EQ(sent_.back(), inv::PauseMovie());
  EXPECT_FALSE(bar_->IsPlaying());
  bar_->PlayPause();
  EXPECT_EQ(sent_.back(), inv::PlayMovie());
  bar_->Stop();
  EXPECT_EQ(sent_.back(), inv::StopMovie());
  EXPECT_FALSE(bar_->IsPlaying());
  bar_->Close();
  EXPECT_EQ(sent_.back(), inv::CloseMovie());
  EXPECT_EQ(stateChanges_ - changes, 4);

  callsWork_ = false;
  EXPECT_FALSE(bar_->Load("/v/x.flv"));
  EXPECT_FALSE(bar_->IsPlaying());
}

TEST_F(PlayerControlTest, SettingsInAndOut) {
  bar_.reset();  // hands its own state to the settings
  settings_.Sound = 30;
  settings_.Muted = true;
  sent_.clear();
  Make();
  bar_->ApplySettings();
  EXPECT_EQ(sent_, (std::vector<std::string>{inv::SetSound(30), inv::SetSound(0)}));
  EXPECT_TRUE(bar_->IsMuted());
  bar_->VolumeBar()->SetPos(60);
  bar_->Mute();
  bar_.reset();
  EXPECT_EQ(settings_.Sound, 60);
  EXPECT_FALSE(settings_.Muted);
}

TEST_F(PlayerControlTest, LayoutAroundTheCentre) {
  bar_->resize(600, CWndPlayerControl::kHeight);
  QCoreApplication::processEvents();
  EXPECT_EQ(bar_->Button(CWndPlayerControl::IDC_PLAY)->x(), 300 - 154);
  EXPECT_EQ(bar_->Button(CWndPlayerControl::IDC_MUTE)->x(), 300 + 55);
  EXPECT_EQ(bar_->VolumeBar()->x(), 300 + 88);
  EXPECT_LE(bar_->TimeRect().left(), 300 - 48);
  EXPECT_LE(bar_->TimeRect().right(), 300 + 55);
  EXPECT_EQ(bar_->SeekBar()->geometry(), QRect(0, 3, 600, 11));
  EXPECT_EQ(bar_->VolumeBar()->height(), 8);
  EXPECT_EQ(bar_->Button(CWndPlayerControl::IDC_PLAY)->size(), QSize(24, 24));
}

}  // namespace
