// The player's movie: progressive playback of a file or an address, the
// picture scaled equally in both directions and centred on the stage, and
// its own overlay (zoom buttons with the percent, maximise/restore, an
// outline around the picture and a buffering indicator).
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <memory>

#include "flash/movie.h"

namespace flash {

class MpvVideo;

class PlayerMovie : public Movie {
  Q_OBJECT
 public:
  enum class Button { Zoom1x, Zoom2x, MaximiseRestore };

  explicit PlayerMovie(FlashControl* control);
  ~PlayerMovie() override;

  QString Kind() const override { return QStringLiteral("player"); }
  void Unload() override;
  void Paint(QPainter& painter) override;
  void MousePress(QMouseEvent* event) override;

  // For tests and the hosts' layout checks.
  int Percent() const { return percent_; }
  double OverlayOpacity() const { return overlayTenths_ / 10.0; }
  double OutlineOpacity() const { return outlineTenths_ / 10.0; }
  bool ShowsRestoreButton() const { return restoreForm_; }
  bool BufferingShown() const;
  QRect PictureRect() const;
  QRect ButtonRect(Button button) const;
  // Nullptr until the first movie is started.
  MpvVideo* Video() const { return video_.get(); }

  static constexpr int kFramesPerSecond = 20;
  static constexpr int kDoubleClickMs = 300;

 private:
  // The video object, made on first use (libmpv itself starts later, with
  // the first stream).
  MpvVideo& EnsureVideo();
  void SetMoive(const std::string& pathOrAddress);
  void StopMovie();
  void CloseStream();
  void OnFrame();
  void OnSingleClick();
  QSize NativeSize() const;

  std::unique_ptr<MpvVideo> video_;
  QTimer frameTimer_;
  QTimer clickTimer_;
  QString path_;
  int percent_ = 100;
  int overlayTenths_ = 10;
  int outlineTenths_ = 6;
  bool restoreForm_ = false;
  bool sentSize_ = false;
  bool sentDuration_ = false;
  bool bufferingHidden_ = false;
  int spinner_ = 0;
};

// Seconds as the movie writes them: up to three decimals, no trailing zeros.
QString FormatSeconds(double seconds);

}  // namespace flash
