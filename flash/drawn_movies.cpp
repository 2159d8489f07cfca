#include "flash/drawn_movies.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "flash/flash_control.h"

namespace flash {

namespace {
const QColor kAccent(226, 240, 194);
const QColor kInk(52, 64, 52);
}  // namespace

MonitorMovie::MonitorMovie(FlashControl* control) : Movie(control) {
  animation_.setInterval(80);
  connect(&animation_, &QTimer::timeout, this, [this] {
    phase_ = (phase_ + 1) % 25;
    Repaint();
  });
  // A loaded movie starts playing its first frame.
  animation_.start();
}

void MonitorMovie::GotoFrame(int frame) {
  frame_ = frame >= 2 ? 2 : 1;
  phase_ = 0;
  Repaint();
}

void MonitorMovie::Play() {
  if (frame_ == 1) animation_.start();
}

void MonitorMovie::Stop() {
  animation_.stop();
  Repaint();
}

void MonitorMovie::MousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  Send(frame_ == 1 ? QStringLiteral("DiabaleMonitoring") : QStringLiteral("EnableMonitoring"));
}

void MonitorMovie::Paint(QPainter& painter) {
  const QRectF r = QRectF(control()->rect()).adjusted(2, 2, -2, -2);
  if (r.isEmpty()) return;
  painter.setRenderHint(QPainter::Antialiasing, true);
  const bool on = frame_ == 1;
  painter.setPen(QPen(on ? QColor(120, 160, 90) : QColor(170, 170, 170), 1));
  painter.setBrush(on ? kAccent : QColor(236, 236, 236));
  const double radius = r.height() / 2;
  painter.drawRoundedRect(r, radius, radius);

  // The eye: waves spreading from a dot while monitoring, a struck-out dot
  // when off.
  const QPointF c(r.left() + radius, r.center().y());
  const double dot = r.height() * 0.14;
  if (on) {
    for (int i = 0; i < 3; ++i) {
      const double t = std::fmod(phase_ / 25.0 + i / 3.0, 1.0);
      QColor wave(70, 130, 50);
      wave.setAlphaF(1.0 - t);
      painter.setPen(QPen(wave, 2));
      painter.setBrush(Qt::NoBrush);
      const double rr = dot + t * (radius - 4 - dot);
      painter.drawEllipse(c, rr, rr);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(70, 130, 50));
    painter.drawEllipse(c, dot, dot);
  } else {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 150, 150));
    painter.drawEllipse(c, dot, dot);
    painter.setPen(QPen(QColor(150, 150, 150), 2));
    painter.drawLine(c + QPointF(-radius * 0.5, radius * 0.5), c + QPointF(radius * 0.5, -radius * 0.5));
  }

  QFont font = painter.font();
  font.setPixelSize(std::max(9, static_cast<int>(r.height() * 0.3)));
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(on ? kInk : QColor(120, 120, 120));
  const QRectF text(r.left() + 2 * radius, r.top(), r.width() - 2 * radius - radius / 2, r.height());
  painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, on ? tr("Monitoring") : tr("Monitor off"));
}

void TutorialMovie::Paint(QPainter& painter) {
  const QRectF page = control()->rect();
  painter.fillRect(page, QColor(250, 251, 247));
  painter.setRenderHint(QPainter::Antialiasing, true);

  QFont title = painter.font();
  title.setPixelSize(22);
  title.setBold(true);
  QFont heading = painter.font();
  heading.setPixelSize(15);
  heading.setBold(true);
  QFont body = painter.font();
  body.setPixelSize(12);

  const double margin = 24;
  painter.setFont(title);
  painter.setPen(kInk);
  painter.drawText(QRectF(margin, 14, page.width() - 2 * margin, 34), Qt::AlignLeft | Qt::AlignVCenter,
                   tr("Welcome to Tamborel"));
  painter.setFont(body);
  painter.drawText(QRectF(margin, 48, page.width() - 2 * margin, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   tr("Four things to know before your first download."));

  struct Card {
    QString heading;
    QString text;
    int picture;
  };
  const Card cards[] = {
      {tr("1. Capture"),
       tr("While the monitor button at the top right shows \"Monitoring\", Tamborel watches the videos your "
          "browser requests. Click the button to switch monitoring off or on."),
       0},
      {tr("2. Popups"),
       tr("Each captured video appears in a small popup above the notification area, with a preview. "
          "Press \"Download\" to add it to the task list; the popup closes by itself."),
       1},
      {tr("3. The task list"),
       tr("Downloads run in the task list. Start, stop and delete them from the toolbar; finished "
          "videos move to \"Completed\" and play in the preview pane when selected."),
       2},
      {tr("4. The player"),
       tr("Double-click a finished video to open it in Pellumo. Click the picture to pause, "
          "double-click it for full screen, and use 1x and 2x to zoom."),
       3},
  };
  const double top = 84;
  const double cardW = (page.width() - 3 * margin) / 2;
  const double cardH = (page.height() - top - 2 * margin) / 2;
  for (int i = 0; i < 4; ++i) {
    const QRectF card(margin + (i % 2) * (cardW + margin), top + (i / 2) * (cardH + margin), cardW, cardH);
    painter.setPen(QPen(QColor(200, 214, 180), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, 8, 8);

    // The illustration: a small scene per card.
    const QRectF pic(card.left() + 16, card.top() + 16, 96, 72);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawRoundedRect(pic, 6, 6);
    painter.setPen(QPen(kInk, 2));
    painter.setBrush(Qt::NoBrush);
    const QPointF c = pic.center();
    switch (cards[i].picture) {
      case 0:  // monitor waves
        for (int k = 1; k <= 3; ++k) painter.drawEllipse(c, 8.0 * k, 8.0 * k);
        painter.setBrush(kInk);
        painter.drawEllipse(c, 4, 4);
        break;
      case 1: {  // a popup rising from the tray
        painter.drawRect(QRectF(pic.left() + 10, pic.bottom() - 12, pic.width() - 20, 6));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(pic.right() - 52, pic.top() + 8, 40, 34), 3, 3);
        painter.drawLine(QPointF(pic.right() - 32, pic.top() + 44), QPointF(pic.right() - 32, pic.bottom() - 14));
        break;
      }
      case 2:  // rows with progress
        for (int k = 0; k < 3; ++k) {
          const double y = pic.top() + 14 + k * 18;
          painter.drawRect(QRectF(pic.left() + 10, y, pic.width() - 20, 10));
          painter.fillRect(QRectF(pic.left() + 11, y + 1, (pic.width() - 22) * (0.9 - k * 0.3), 8), kInk);
        }
        break;
      case 3: {  // a play triangle in a screen
        painter.drawRect(pic.adjusted(12, 10, -12, -10));
        QPainterPath tri;
        tri.moveTo(c + QPointF(-8, -11));
        tri.lineTo(c + QPointF(12, 0));
        tri.lineTo(c + QPointF(-8, 11));
        tri.closeSubpath();
        painter.fillPath(tri, kInk);
        break;
      }
    }

    painter.setPen(kInk);
    painter.setFont(heading);
    painter.drawText(QRectF(pic.right() + 14, card.top() + 16, card.right() - pic.right() - 28, 24),
                     Qt::AlignLeft | Qt::AlignVCenter, cards[i].heading);
    painter.setFont(body);
    painter.drawText(QRectF(card.left() + 16, pic.bottom() + 12, card.width() - 32, card.bottom() - pic.bottom() - 24),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, cards[i].text);
  }
}

}  // namespace flash
