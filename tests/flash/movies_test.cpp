// The control's choice of movie by file name, the main program's movies and
// the control's behaviour when its host reacts inside a movie command.
#include <QMouseEvent>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "flash/drawn_movies.h"
#include "flash/flash_control.h"
#include "flash/invoke_request.h"
#include "flash/movie.h"
#include "flash/mpv_video.h"
#include "flash/player_movie.h"
#include "flash/player_movie_file.h"
#include "flash/shockwave_flash.h"
#include "flash/video_movies.h"
#include "tests/flash/flash_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"

namespace {

using flashtest::App;
using flashtest::CommandLog;
using flashtest::Spin;
using flashtest::WaitUntil;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Click(QWidget& w, QPoint p) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), w.mapToGlobal(QPointF(p)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &press);
}

class MoviesTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  std::string Write(const std::string& name) {
    sandbox_.WriteFile(name, "movie");
    return sandbox_.path(name);
  }
  testsupport::Sandbox sandbox_;
};

TEST_F(MoviesTest, LoadMoviePicksTheBuiltInMovieByFileName) {
  const struct {
    const char* file;
    const char* kind;  // nullptr: the control stays empty
  } cases[] = {
      {flash::kPlayerMovieFileName, "player"}, {"Mirelda.dll", "preview"},  {"Zindrel.dll", "link"},
      {"Tessikor.dll", "monitor"},             {"tutorial.swf", "tutorial"}, {"blank.dll", "blank"},
      {"foreign.swf", nullptr},                {"Mirelda.dll.bak", nullptr},
  };
  CShockwaveFlash control(nullptr, 1021);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    control.LoadMovie(0, Q(Write(c.file)));
    if (c.kind) {
      ASSERT_NE(control.CurrentMovie(), nullptr);
      EXPECT_EQ(control.CurrentMovie()->Kind(), c.kind);
    } else {
      EXPECT_EQ(control.CurrentMovie(), nullptr);
    }
  }
  // Only a file that exists loads: a missing one empties the control.
  control.LoadMovie(0, Q(Write("Zindrel.dll")));
  control.LoadMovie(0, Q(sandbox_.path("sub/Mirelda.dll")));
  EXPECT_EQ(control.CurrentMovie(), nullptr);
  control.LoadMovie(0, QString());
  EXPECT_EQ(control.CurrentMovie(), nullptr);
}

TEST_F(MoviesTest, TheBuildPlacesTheMovieFilesBesideThePrograms) {
  CShockwaveFlash control;
  for (const char* name : {"Mirelda.dll", "Zindrel.dll", "Tessikor.dll", "blank.dll", "tutorial.swf"}) {
    SCOPED_TRACE(name);
    control.LoadMovie(0, QStringLiteral(TAMBOREL_BINARY_DIR "/bin/") + QLatin1String(name));
    EXPECT_NE(control.CurrentMovie(), nullptr);
  }
}

TEST_F(MoviesTest, EachMovieRegistersTheFunctionsItsHostCalls) {
  const struct {
    const char* file;
    std::vector<std::string> functions;
  } cases[] = {
      {flash::kPlayerMovieFileName,
       {"CloseMovie", "HideFrame", "PauseMovie", "PlayMovie", "SetFullScreen", "SetMoive", "SetProcess",
        "SetRestoreScreen", "SetSize", "SetSound", "ShowFrame", "StopMovie"}},
      {"Mirelda.dll", {"CloseMovie", "SetMovie"}},
      {"Zindrel.dll", {"setMovie"}},
      {"Tessikor.dll", {}},
  };
  CShockwaveflash control;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    control.LoadMovie(0, Q(Write(c.file)));
    ASSERT_NE(control.CurrentMovie(), nullptr);
    EXPECT_EQ(control.CurrentMovie()->RegisteredFunctions(), c.functions);
  }
}

TEST_F(MoviesTest, NoMediaEngineStartsBeforeAMovieIsPlayed) {
  CShockwaveflash control;
  control.LoadMovie(0, Q(Write(flash::kPlayerMovieFileName)));
  auto* player = qobject_cast<flash::PlayerMovie*>(control.CurrentMovie());
  ASSERT_NE(player, nullptr);
  control.CallFunction(Q(flash::invoke::SetSound(40)));
  control.CallFunction(Q(flash::invoke::ShowFrame()));
  control.CallFunction(Q(flash::invoke::SetSize(100)));
  // The volume waits for the engine; the engine is not there yet.
  ASSERT_NE(player->Video(), nullptr);
  EXPECT_FALSE(player->Video()->IsCreated());
  EXPECT_EQ(player->Video()->Volume(), 40);
}

TEST_F(MoviesTest, AForeignMovieLeavesTheControlEmptyAndCallsFailQuietly) {
  CShockwaveFlash control(nullptr, 1021);
  CommandLog log(control);
  control.SetAllowScriptAccess(QStringLiteral("never"));
  control.SetScaleMode(1);
  control.LoadMovie(0, Q(Write("clip.swf")));
  EXPECT_EQ(control.CurrentMovie(), nullptr);
  EXPECT_EQ(control.CallFunction(Q(flash::invoke::setMovie("http://h/x.flv"))), QString());
  control.GotoFrame(2);
  control.Play();
  control.Stop();
  EXPECT_EQ(control.ScaleMode(), 1);
  EXPECT_EQ(control.AllowScriptAccess(), "never");
  EXPECT_GE(control.FlashVersion() >> 16, 9);
  EXPECT_TRUE(log.entries().empty());
}

TEST_F(MoviesTest, MonitorIndicatorSwitchesBetweenItsTwoFrames) {
  CShockwaveFlash control(nullptr, 20002);
  control.resize(143, 50);
  CommandLog log(control);
  control.SetScaleMode(2);
  control.LoadMovie(0, Q(Write("Tessikor.dll")));
  auto* monitor = qobject_cast<flash::MonitorMovie*>(control.CurrentMovie());
  ASSERT_NE(monitor, nullptr);

  control.GotoFrame(1);
  control.Play();
  EXPECT_TRUE(monitor->IsPlaying());
  Click(control, QPoint(70, 25));
  control.GotoFrame(2);
  control.Stop();
  EXPECT_FALSE(monitor->IsPlaying());
  EXPECT_EQ(monitor->CurrentFrame(), 2);
  Click(control, QPoint(70, 25));
  EXPECT_EQ(log.entries(), (std::vector<std::pair<QString, QString>>{{"DiabaleMonitoring", ""},
                                                                     {"EnableMonitoring", ""}}));
  // Commands carry an argument, empty but present: hosts ignore missing ones.
  EXPECT_FALSE(log.entries()[0].second.isNull());
}

class VideoMoviesTest : public MoviesTest {
 protected:
  void SetUp() override {
    MoviesTest::SetUp();
    // A name a markup-minded parser would mangle.
    file_ = sandbox_.path("Tom & \"Jerry\" <1>.flv");
    ASSERT_TRUE(testsupport::MakeMediaFlv(file_, 2, "libx264", "aac"));
    control_ = std::make_unique<CShockwaveFlash>(nullptr, 59143);
    control_->resize(240, 180);
    control_->show();
    log_ = std::make_unique<CommandLog>(*control_);
  }
  std::string file_;
  std::unique_ptr<CShockwaveFlash> control_;
  std::unique_ptr<CommandLog> log_;
};

TEST_F(VideoMoviesTest, PreviewPlaysAtOnceAndCloses) {
  control_->LoadMovie(0, Q(Write("Mirelda.dll")));
  auto* preview = qobject_cast<flash::PreviewMovie*>(control_->CurrentMovie());
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->Video(), nullptr);
  control_->CallFunction(Q(flash::invoke::SetMovie(file_, 7)));
  ASSERT_NE(preview->Video(), nullptr);
  EXPECT_EQ(preview->TaskIndex(), 7);
  ASSERT_TRUE(WaitUntil([&] { return preview->Video()->HasFrame(); }));
  const double start = preview->Video()->Position();
  ASSERT_TRUE(WaitUntil([&] { return preview->Video()->Position() > start + 0.3; }));
  EXPECT_EQ(preview->Video()->NativeSize(), QSize(160, 120));
  control_->CallFunction(Q(flash::invoke::CloseMovie()));
  EXPECT_FALSE(preview->Video()->IsOpen());
  EXPECT_EQ(preview->TaskIndex(), -1);
  EXPECT_TRUE(log_->entries().empty());
}

TEST_F(VideoMoviesTest, LinkMoviePlaysMutedAndReportsStartAndTime) {
  if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx is not installed";
  testsupport::NginxPeer nginx;
  sandbox_.WriteFile("clip.flv", testsupport::ReadWholeFile(file_));
  ASSERT_TRUE(nginx.Start(sandbox_.dir()));
  control_->SetAllowScriptAccess(QString());
  control_->SetScaleMode(2);
  control_->LoadMovie(0, Q(Write("Zindrel.dll")));
  auto* link = qobject_cast<flash::LinkMovie*>(control_->CurrentMovie());
  ASSERT_NE(link, nullptr);
  control_->CallFunction(Q(flash::invoke::setMovie(nginx.Url("/clip.flv"))));
  ASSERT_TRUE(WaitUntil([&] { return log_->Count("PlayTime") > 0; })) << log_->Summary();
  EXPECT_EQ(log_->IndexOf("PlayStart"), 0);
  EXPECT_EQ(log_->Count("PlayStart"), 1);
  EXPECT_EQ(log_->Count("StreamNotFound"), 0);
  EXPECT_TRUE(link->Video()->Muted());
}

// The capture popup empties its control from inside a movie command.
TEST_F(VideoMoviesTest, AHostMayLoadAnotherMovieFromInsideACommand) {
  const std::string blank = Write("blank.dll");
  QObject::connect(control_.get(), &flash::FlashControl::FSCommand, control_.get(),
                   [&](const QString& command, const QString&) {
                     if (command == "StreamNotFound") control_->LoadMovie(0, Q(blank));
                   });
  control_->LoadMovie(0, Q(Write("Zindrel.dll")));
  const std::string refused = "rtmp://127.0.0.1:" + std::to_string(testsupport::FreeTcpPort()) + "/vod/a.flv";
  control_->CallFunction(Q(flash::invoke::setMovie(refused)));
  ASSERT_TRUE(WaitUntil([&] { return log_->Count("StreamNotFound") > 0; }));
  Spin(200);
  ASSERT_NE(control_->CurrentMovie(), nullptr);
  EXPECT_EQ(control_->CurrentMovie()->Kind(), "blank");
  EXPECT_EQ(log_->Count("StreamNotFound"), 1);
}

}  // namespace
