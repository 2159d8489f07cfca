// The player movie's overlay and picture: clicks (synthetic mouse events),
// its buttons, the opacity rules and the zoomed picture's place.
#include <QMouseEvent>
#include <string>

#include <gtest/gtest.h>

#include "tests/flash/player_fixture.h"

namespace {

using flash::PlayerMovie;
using flashtest::PlayerMovieTest;
using flashtest::Spin;
using flashtest::WaitUntil;

void Press(QWidget& w, QPoint p, QEvent::Type type = QEvent::MouseButtonPress) {
  const QPointF local(p);
  QMouseEvent press(type, local, w.mapToGlobal(local), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, w.mapToGlobal(local), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &release);
}

class PlayerOverlayTest : public PlayerMovieTest {
 protected:
  void SetUp() override {
    PlayerMovieTest::SetUp();
    StartAndWaitForSize("h264_aac.flv");
    Call(flash::invoke::PauseMovie());
    log_->Clear();
  }
  // The commands other than the steady "playtime".
  std::vector<std::pair<QString, QString>> Clicks() const {
    std::vector<std::pair<QString, QString>> v;
    for (const auto& e : log_->entries())
      if (e.first == "play" || e.first == "scale") v.push_back(e);
    return v;
  }
  QPoint PictureCentre() const { return player()->PictureRect().center(); }
};

using Commands = std::vector<std::pair<QString, QString>>;

TEST_F(PlayerOverlayTest, OneClickPlaysAndASecondClickWithin300msOnlyScales) {
  // One click: "play" once the double-click time has passed.
  Press(*control_, PictureCentre());
  EXPECT_TRUE(Clicks().empty());
  ASSERT_TRUE(WaitUntil([&] { return !Clicks().empty(); }));
  Spin(PlayerMovie::kDoubleClickMs + 100);
  EXPECT_EQ(Clicks(), (Commands{{"play", "0"}}));

  // Two quick clicks, the second arriving as Qt's double-click event.
  log_->Clear();
  Press(*control_, PictureCentre());
  Press(*control_, PictureCentre(), QEvent::MouseButtonDblClick);
  Spin(PlayerMovie::kDoubleClickMs + 300);
  EXPECT_EQ(Clicks(), (Commands{{"scale", "0"}}));

  // Two clicks further apart are two single clicks.
  log_->Clear();
  Press(*control_, PictureCentre());
  ASSERT_TRUE(WaitUntil([&] { return !Clicks().empty(); }));
  Press(*control_, PictureCentre());
  ASSERT_TRUE(WaitUntil([&] { return Clicks().size() == 2; }));
  EXPECT_EQ(Clicks(), (Commands{{"play", "0"}, {"play", "0"}}));
}

TEST_F(PlayerOverlayTest, ClicksOutsideThePictureDoNothing) {
  Call(flash::invoke::SetSize(50));
  Press(*control_, QPoint(2, 2));
  Spin(PlayerMovie::kDoubleClickMs + 200);
  EXPECT_TRUE(Clicks().empty());
}

TEST_F(PlayerOverlayTest, ButtonsSendTheirScales) {
  const struct {
    PlayerMovie::Button button;
    bool fullScreen;
    const char* arg;
  } cases[] = {
      {PlayerMovie::Button::Zoom1x, false, "100"},
      {PlayerMovie::Button::Zoom2x, false, "200"},
      {PlayerMovie::Button::MaximiseRestore, false, "0"},
      {PlayerMovie::Button::MaximiseRestore, true, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    log_->Clear();
    Call(c.fullScreen ? flash::invoke::SetFullScreen() : flash::invoke::SetRestoreScreen());
    EXPECT_EQ(player()->ShowsRestoreButton(), c.fullScreen);
    Press(*control_, player()->ButtonRect(c.button).center());
    Spin(PlayerMovie::kDoubleClickMs + 100);
    EXPECT_EQ(Clicks(), (Commands{{"scale", c.arg}}));
  }
}

TEST_F(PlayerOverlayTest, HideFrameFadesAndShowFrameRestores) {
  EXPECT_DOUBLE_EQ(player()->OverlayOpacity(), 1.0);
  EXPECT_DOUBLE_EQ(player()->OutlineOpacity(), 0.6);
  for (int i = 0; i < 3; ++i) Call(flash::invoke::HideFrame());
  EXPECT_NEAR(player()->OverlayOpacity(), 0.7, 1e-9);
  EXPECT_NEAR(player()->OutlineOpacity(), 0.3, 1e-9);
  // The outline reaches 0 first; both stop at 0 and stay there.
  for (int i = 0; i < 20; ++i) Call(flash::invoke::HideFrame());
  EXPECT_DOUBLE_EQ(player()->OverlayOpacity(), 0.0);
  EXPECT_DOUBLE_EQ(player()->OutlineOpacity(), 0.0);

  // An invisible overlay has no buttons: the click is a click on the picture.
  Press(*control_, player()->ButtonRect(PlayerMovie::Button::Zoom2x).center());
  ASSERT_TRUE(WaitUntil([&] { return !Clicks().empty(); }));
  EXPECT_EQ(Clicks(), (Commands{{"play", "0"}}));

  Call(flash::invoke::ShowFrame());
  EXPECT_DOUBLE_EQ(player()->OverlayOpacity(), 1.0);
  EXPECT_DOUBLE_EQ(player()->OutlineOpacity(), 0.6);
}

TEST_F(PlayerOverlayTest, SetSizeScalesThePictureEquallyAndCentresIt) {
  // The control is 400 x 300, the video 160 x 120.
  const struct {
    int percent;
    QRect picture;
  } cases[] = {
      {100, QRect(120, 90, 160, 120)},
      {200, QRect(40, 30, 320, 240)},
      {50, QRect(160, 120, 80, 60)},
      {250, QRect(0, 0, 400, 300)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.percent);
    Call(flash::invoke::SetSize(c.percent));
    EXPECT_EQ(player()->Percent(), c.percent);
    EXPECT_EQ(player()->PictureRect(), c.picture);
  }
  // A zoom far beyond any screen is drawn at a bounded size, shape kept,
  // instead of allocating a picture of gigabytes.
  Call(flash::invoke::SetSize(1000000));
  EXPECT_LE(player()->PictureRect().width(), 4096);
  EXPECT_EQ(player()->PictureRect().height() * 4, player()->PictureRect().width() * 3);
  Spin(200);
  // Nonsense leaves the size as it was.
  Call(flash::invoke::SetSize(100));
  control_->CallFunction(
      QStringLiteral("<invoke name=\"SetSize\" returntype=\"xml\"><arguments><string>big</string></arguments></invoke>"));
  EXPECT_EQ(player()->Percent(), 100);
}

}  // namespace
