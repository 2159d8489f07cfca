// The movies drawn without video: the monitor indicator, the tutorial page
// and the blank movie.
#pragma once

#include <QTimer>

#include "flash/movie.h"

namespace flash {

// Frame 1: the animated "monitoring" picture; frame 2: the still "off"
// picture. A click asks the host to switch monitoring; the host then moves
// the timeline.
class MonitorMovie : public Movie {
  Q_OBJECT
 public:
  explicit MonitorMovie(FlashControl* control);
  QString Kind() const override { return QStringLiteral("monitor"); }
  void Paint(QPainter& painter) override;
  void MousePress(QMouseEvent* event) override;
  void GotoFrame(int frame) override;
  void Play() override;
  void Stop() override;

  int CurrentFrame() const { return frame_; }
  bool IsPlaying() const { return animation_.isActive(); }

 private:
  QTimer animation_;
  int frame_ = 1;
  int phase_ = 0;
};

class TutorialMovie : public Movie {
  Q_OBJECT
 public:
  explicit TutorialMovie(FlashControl* control) : Movie(control) {}
  QString Kind() const override { return QStringLiteral("tutorial"); }
  void Paint(QPainter& painter) override;
};

class BlankMovie : public Movie {
  Q_OBJECT
 public:
  explicit BlankMovie(FlashControl* control) : Movie(control) {}
  QString Kind() const override { return QStringLiteral("blank"); }
};

}  // namespace flash
