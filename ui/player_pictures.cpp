#include "ui/player_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <map>

static void InitPlayerPictureResources() { Q_INIT_RESOURCE(player_pictures); }

namespace {

// One visual language with the main program: calm dark bar, the tree's
// selection green as the accent.
const QColor kAccent(226, 240, 194);
const QColor kBarTop(58, 62, 66);
const QColor kBarBottom(28, 30, 33);

QPixmap Blank(QSize logical, qreal dpr) {
  QPixmap pm(logical * dpr);
  pm.setDevicePixelRatio(dpr);
  pm.fill(Qt::transparent);
  return pm;
}

const char* GlyphFile(PlayerGlyph g) {
  switch (g) {
    case PlayerGlyph::Play: return ":/player/play.svg";
    case PlayerGlyph::Pause: return ":/player/pause.svg";
    case PlayerGlyph::Stop: return ":/player/stop.svg";
    case PlayerGlyph::Backward: return ":/player/backward.svg";
    case PlayerGlyph::Forward: return ":/player/forward.svg";
    case PlayerGlyph::Sound: return ":/player/sound.svg";
    case PlayerGlyph::Muted: return ":/player/muted.svg";
  }
  return "";
}

}  // namespace

QPixmap ButtonFrames(PlayerGlyph glyph, qreal dpr) {
  static bool loaded = (InitPlayerPictureResources(), true);
  (void)loaded;
  QSvgRenderer svg(QString::fromLatin1(GlyphFile(glyph)));
  QPixmap pm = Blank(QSize(24, 96), dpr);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  for (int frame = 0; frame < 4; ++frame) {
    QRectF cell(0, frame * 24, 24, 24);
    QRectF disc = cell.adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(Qt::NoPen);
    qreal glyphOpacity = 0.88;
    if (frame == 1) {
      p.setBrush(QColor(255, 255, 255, 46));
      p.drawRoundedRect(disc, 5, 5);
      glyphOpacity = 1.0;
    } else if (frame == 2) {
      QColor pressed = kAccent;
      pressed.setAlpha(110);
      p.setBrush(pressed);
      p.drawRoundedRect(disc, 5, 5);
      glyphOpacity = 1.0;
    } else if (frame == 3) {
      glyphOpacity = 0.3;
    }
    p.setOpacity(glyphOpacity);
    svg.render(&p, cell);
    p.setOpacity(1.0);
  }
  return pm;
}

const SliderPictures& SliderPicturesFor(bool seek, qreal dpr) {
  static std::map<std::pair<bool, qreal>, SliderPictures> cache;
  auto key = std::make_pair(seek, dpr);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;

  SliderPictures s;
  const int end = seek ? 5 : 4;
  const int h = seek ? 11 : 8;
  const qreal trackH = seek ? 5 : 4;
  const qreal top = (h - trackH) / 2;
  auto track = [&](QColor fill, QSize size) {
    QPixmap pm = Blank(size, dpr);
    QPainter p(&pm);
    p.fillRect(QRectF(0, top, size.width(), trackH), fill);
    return pm;
  };
  const QColor done = seek ? kAccent : QColor(230, 232, 235);
  const QColor rest(86, 90, 96);
  s.trackDone = track(done, QSize(1, h));
  s.trackLeft = track(rest, QSize(1, h));
  auto cap = [&](QColor fill, bool left) {
    QPixmap pm = Blank(QSize(end, h), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    QRectF r(left ? 0 : -end, top, 2 * end, trackH);
    p.drawRoundedRect(r, trackH / 2, trackH / 2);
    return pm;
  };
  s.leftEnd = cap(done, true);
  s.rightEnd = cap(rest, false);
  s.thumbSize = seek ? QSize(12, 11) : QSize(10, 8);
  s.thumb = Blank(s.thumbSize, dpr);
  {
    QPainter p(&s.thumb);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 44, 48), 1));
    p.setBrush(QColor(250, 250, 250));
    QRectF r = QRectF(QPointF(0, 0), s.thumbSize).adjusted(0.5, 0.5, -0.5, -0.5);
    p.drawEllipse(r);
  }
  return cache.emplace(key, s).first->second;
}

QPixmap BarBackground(int height, qreal dpr) {
  QPixmap pm = Blank(QSize(1, height), dpr);
  QPainter p(&pm);
  QLinearGradient g(0, 0, 0, height);
  g.setColorAt(0, kBarTop);
  g.setColorAt(1, kBarBottom);
  p.fillRect(QRect(0, 0, 1, height), g);
  p.fillRect(QRect(0, 0, 1, 1), QColor(90, 95, 100));
  return pm;
}

QPixmap SizingGrip(qreal dpr) {
  QPixmap pm = Blank(QSize(9, 9), dpr);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(150, 155, 160));
  for (int row = 0; row < 3; ++row)
    for (int col = 2 - row; col < 3; ++col) p.drawEllipse(QRectF(col * 3 + 0.5, row * 3 + 0.5, 2, 2));
  return pm;
}
