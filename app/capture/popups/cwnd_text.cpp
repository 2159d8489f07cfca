#include "app/capture/popups/cwnd_text.h"

#include <QPainter>

CWndText::CWndText(TextBackdrop* backdrop, QWidget* parent) : QWidget(parent), backdrop_(backdrop) {
  setAttribute(Qt::WA_OpaquePaintEvent);  // the backdrop covers every pixel
}

void CWndText::SetText(const QString& text) {
  text_ = text;
  setToolTip(text);
  if (isVisible()) repaint();
}

void CWndText::SetTextColor(const QColor& color) {
  color_ = color;
  update();
}

QString CWndText::ShownText() const { return fontMetrics().elidedText(text_, Qt::ElideRight, width()); }

void CWndText::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (backdrop_) backdrop_->PaintBackdrop(p, this);
  p.setPen(color_);
  p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ShownText());
}
