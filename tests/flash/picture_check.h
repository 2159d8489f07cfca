// What the player movie shows: ffmpeg's test picture, grabbed from the
// control, has the expected colours in the expected places (at the scale
// the test runs under, 100 % or 200 %), with the overlay drawn over it.
// Shared by the software renderer's tests and the OpenGL renderer's.
#pragma once

#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/flash/player_fixture.h"

namespace flashtest {

inline constexpr int kSrcW = 320;
inline constexpr int kSrcH = 240;

class PlayerPictureTest : public PlayerMovieTest {
 protected:
  void SetUp() override {
    PlayerMovieTest::SetUp();
    file_ = sandbox_.path("testsrc.flv");
    ASSERT_EQ(testsupport::RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                       "testsrc=size=320x240:rate=25", "-t", "2", "-c:v", "libx264", "-pix_fmt",
                                       "yuv420p", "-f", "flv", file_}),
              0);
    // The reference: ffmpeg's own decoding of the file's first picture.
    const std::string raw = sandbox_.path("first.rgb");
    ASSERT_EQ(testsupport::RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", file_, "-frames:v",
                                       "1", "-f", "rawvideo", "-pix_fmt", "rgb24", raw}),
              0);
    reference_ = testsupport::ReadWholeFile(raw);
    ASSERT_EQ(reference_.size(), size_t(kSrcW * kSrcH * 3));
  }

  QColor Reference(int x, int y) const {
    const auto* p = reinterpret_cast<const uint8_t*>(reference_.data()) + (y * kSrcW + x) * 3;
    return QColor(p[0], p[1], p[2]);
  }

  // A place of the reference whose neighbourhood has one colour, so scaling
  // and the codec's rounding cannot move the answer.
  bool Uniform(int x, int y) const {
    const QColor c = Reference(x, y);
    for (int dy = -4; dy <= 4; ++dy)
      for (int dx = -4; dx <= 4; ++dx) {
        const int xx = x + dx, yy = y + dy;
        if (xx < 0 || yy < 0 || xx >= kSrcW || yy >= kSrcH) return false;
        const QColor d = Reference(xx, yy);
        if (std::abs(d.red() - c.red()) + std::abs(d.green() - c.green()) + std::abs(d.blue() - c.blue()) > 30)
          return false;
      }
    return true;
  }

  // Plays the picture at `percent` through `renderer`, pauses it and
  // compares the grab.
  void CheckPicture(int percent, QSize controlSize, flash::VideoRenderer renderer) {
    control_->resize(controlSize);
    Call(flash::invoke::SetMoive(file_));
    ASSERT_TRUE(WaitUntil([&] { return log_->Count("height") > 0; })) << log_->Summary();
    Call(flash::invoke::PauseMovie());
    Call(flash::invoke::SetSize(percent));
    ASSERT_TRUE(WaitUntil([&] { return player()->Video()->HasFrame(); }));
    ASSERT_EQ(player()->Video()->RendererInUse(), renderer);
    Spin(300);

    const QRect picture = player()->PictureRect();
    ASSERT_EQ(picture.size(), QSize(kSrcW * percent / 100, kSrcH * percent / 100));
    const QImage grab = control_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const double dpr = grab.devicePixelRatio();
    ASSERT_EQ(grab.width(), qRound(controlSize.width() * dpr));
    if (const char* dir = std::getenv("TAMBOREL_SCREENSHOT_DIR"))
      grab.save(QString::fromLocal8Bit(dir) + QStringLiteral("/player_%1_%2_dpr%3.png")
                                                  .arg(renderer == flash::VideoRenderer::OpenGL ? "gl" : "sw")
                                                  .arg(percent)
                                                  .arg(dpr));

    // The overlay's buttons in the top-right corner and the outline are
    // left out; everything else must show the reference.
    QRect overlay = player()->ButtonRect(flash::PlayerMovie::Button::Zoom1x)
                        .united(player()->ButtonRect(flash::PlayerMovie::Button::MaximiseRestore))
                        .adjusted(-4, -4, 4, 4);
    int checked = 0;
    for (int ry = 6; ry < kSrcH - 6; ry += 9) {
      for (int rx = 6; rx < kSrcW - 6; rx += 9) {
        if (!Uniform(rx, ry)) continue;
        const QPointF logical(picture.left() + (rx + 0.5) * percent / 100.0,
                              picture.top() + (ry + 0.5) * percent / 100.0);
        if (overlay.contains(logical.toPoint())) continue;
        const QColor want = Reference(rx, ry);
        const QColor got = grab.pixelColor(int(logical.x() * dpr), int(logical.y() * dpr));
        const int diff = std::max({std::abs(got.red() - want.red()), std::abs(got.green() - want.green()),
                                   std::abs(got.blue() - want.blue())});
        EXPECT_LE(diff, 40) << "at " << rx << "," << ry << " want " << want.name().toStdString() << " got "
                            << got.name().toStdString();
        ++checked;
      }
    }
    EXPECT_GT(checked, 300);

    // The 1x button darkens the bright bar it lies on.
    const QRect button = player()->ButtonRect(flash::PlayerMovie::Button::Zoom1x);
    const QPointF inside(button.left() + 3, button.center().y());
    const QColor under = Reference(int((inside.x() - picture.left()) * 100 / percent),
                                   int((inside.y() - picture.top()) * 100 / percent));
    const QColor drawn = grab.pixelColor(int(inside.x() * dpr), int(inside.y() * dpr));
    EXPECT_GT(under.lightness(), 100);
    EXPECT_LT(drawn.lightness(), under.lightness() - 50) << drawn.name().toStdString();
  }

  std::string file_;
  std::string reference_;
};

}  // namespace flashtest
