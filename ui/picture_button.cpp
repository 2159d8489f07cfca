#include "ui/picture_button.h"

#include <QMouseEvent>
#include <QPainter>

CPictureButton::CPictureButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
}

void CPictureButton::SetImage(const QPixmap& fourFrames) {
  image_ = fourFrames;
  qreal dpr = image_.devicePixelRatio();
  frameSize_ = QSize(qRound(image_.width() / dpr), qRound(image_.height() / dpr / 4));
  setFixedSize(frameSize_);
  update();
}

void CPictureButton::SetFrame(int frame) {
  if (frame_ == frame) return;
  frame_ = frame;
  update();
}

void CPictureButton::paintEvent(QPaintEvent*) {
  int frame = frame_;
  if (!isEnabled()) {
    frame = Disabled;
    drewDisabled_ = true;
  } else if (drewDisabled_) {
    // Back from disabled: whatever the mouse did meanwhile, start plain.
    drewDisabled_ = false;
    frame_ = frame = Normal;
  }
  if (image_.isNull()) return;
  qreal dpr = image_.devicePixelRatio();
  QRect source(0, qRound(frame * frameSize_.height() * dpr), image_.width(),
               qRound(frameSize_.height() * dpr));
  QPainter p(this);
  p.drawPixmap(QRect(QPoint(0, 0), frameSize_), image_, source);
}

void CPictureButton::enterEvent(QEnterEvent* e) {
  SetFrame(Hover);
  QAbstractButton::enterEvent(e);
}

void CPictureButton::leaveEvent(QEvent* e) {
  SetFrame(Normal);
  QAbstractButton::leaveEvent(e);
}

void CPictureButton::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) SetFrame(Pressed);
  QAbstractButton::mousePressEvent(e);
}

void CPictureButton::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) SetFrame(Hover);
  QAbstractButton::mouseReleaseEvent(e);
}
