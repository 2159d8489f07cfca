#include "app/capture/popups/skin_button.h"

#include <QPainter>

SkinButton::SkinButton(const QString& programDir, const QString& file, const QString& caption, QSize size,
                       QWidget* parent)
    : QAbstractButton(parent), picture_(programDir + QStringLiteral("Skin/") + file), size_(size) {
  setText(caption);
  setFixedSize(size);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void SkinButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled()) p.setOpacity(0.4);
  const QRectF area = rect().translated(isDown() ? 1 : 0, isDown() ? 1 : 0);
  if (picture_.isValid()) {
    picture_.render(&p, area);
  } else {
    p.setPen(QColor(0x3f, 0x5a, 0x1a));
    p.setBrush(QColor(0x5b, 0x7d, 0x2a));
    p.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setPen(Qt::white);
    p.drawText(area, Qt::AlignCenter, text());
  }
  if (isEnabled() && underMouse() && !isDown()) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawRoundedRect(area, 3, 3);
  }
}
