#include "ui/bmp_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/player_pictures.h"

CBmpSlider::CBmpSlider(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  setFixedHeight(FixedHeight(kind));
  setCursor(Qt::PointingHandCursor);
}

int CBmpSlider::EndWidth() const { return kind_ == Seek ? 5 : 4; }

void CBmpSlider::SetRangeMax(int64_t max) {
  max_ = std::max<int64_t>(0, max) * kScale;
  pos_ = std::clamp<int64_t>(pos_, 0, max_);
  update();
}

void CBmpSlider::SetPos(int64_t pos) {
  pos_ = std::clamp<int64_t>(pos * kScale, 0, max_);
  update();
}

int64_t CBmpSlider::ValueAt(int x) const {
  int span = width() - 10;
  if (span <= 0) return 0;
  return std::clamp<int64_t>(static_cast<int64_t>(x - 5) * max_ / span, 0, max_);
}

void CBmpSlider::SendNotify(SliderNotification::Kind kind) {
  if (max_ == 0) return;
  emit Notify(SliderNotification{kind, pos_ / kScale, this});
}

void CBmpSlider::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  dragging_ = true;  // Qt grabs the mouse for the pressed widget
  pos_ = ValueAt(e->position().toPoint().x());
  SendNotify(SliderNotification::Press);
  update();
}

void CBmpSlider::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) return;
  pos_ = ValueAt(e->position().toPoint().x());
  SendNotify(SliderNotification::Drag);
  update();
}

void CBmpSlider::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  SendNotify(SliderNotification::Release);
  update();
}

void CBmpSlider::paintEvent(QPaintEvent*) {
  const SliderPictures& pics = SliderPicturesFor(kind_ == Seek, devicePixelRatioF());
  const int end = EndWidth();
  const int w = width(), h = height();
  const int64_t g64 = max_ > 0 ? static_cast<int64_t>(w - 2 * end) * pos_ / max_ : 0;
  const int g = static_cast<int>(std::max<int64_t>(0, g64));
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawPixmap(QRect(0, 0, end, h), pics.leftEnd);
  p.drawPixmap(QRect(end, 0, g, h), pics.trackDone);
  p.drawPixmap(QRect(w - end, 0, end, h), pics.rightEnd);
  p.drawPixmap(QRect(end + g, 0, std::max(0, w - 2 * end - g), h), pics.trackLeft);
  QSize thumb = pics.thumbSize;
  p.drawPixmap(QRect(end + g - thumb.width() / 2, (h - thumb.height()) / 2, thumb.width(),
                     thumb.height()),
               pics.thumb);
}
