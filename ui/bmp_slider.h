// A horizontal bar drawn from pictures: two ends, a track on either side of
// the thumb, and the thumb. Minimum, maximum and position are kept in
// thousandths of a unit and set and reported in whole units.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>

class CBmpSlider;

struct SliderNotification {
  enum Kind { Press = 0, Release = 1, Drag = 2 };
  Kind kind = Press;
  int64_t value = 0;  // whole units
  CBmpSlider* slider = nullptr;
};

class CBmpSlider : public QWidget {
  Q_OBJECT
 public:
  enum Kind { Seek, Volume };

  explicit CBmpSlider(Kind kind, QWidget* parent = nullptr);

  Kind SliderKind() const { return kind_; }
  // Also sets the minimum to 0.
  void SetRangeMax(int64_t max);
  int64_t RangeMax() const { return max_ / kScale; }
  // Clamped into [0, max].
  void SetPos(int64_t pos);
  int64_t Pos() const { return pos_ / kScale; }
  bool IsDragging() const { return dragging_; }

  int EndWidth() const;
  static int FixedHeight(Kind kind) { return kind == Seek ? 11 : 8; }
  // The value under client pixel x, in thousandths, clamped.
  int64_t ValueAt(int x) const;

  QSize sizeHint() const override { return {100, FixedHeight(kind_)}; }

 signals:
  // Every press, drag step and release; nothing while the maximum is 0.
  void Notify(const SliderNotification& note);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  static constexpr int64_t kScale = 1000;
  void SendNotify(SliderNotification::Kind kind);

  Kind kind_;
  int64_t max_ = 0;
  int64_t pos_ = 0;
  bool dragging_ = false;
};
