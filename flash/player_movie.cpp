#include "flash/player_movie.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "flash/flash_control.h"
#include "flash/media_address.h"
#include "flash/mpv_video.h"

namespace flash {

namespace {

constexpr int kButtonW = 24;
constexpr int kButtonH = 18;
constexpr int kLabelW = 42;
constexpr int kGap = 4;
constexpr int kMargin = 6;
// The render buffer follows the picture; beyond this a zoom only wastes memory.
constexpr int kMaxPictureSide = 4096;

bool ParseInt(const std::string& text, int* value) {
  bool ok = false;
  const int v = QString::fromStdString(text).trimmed().toInt(&ok);
  if (ok) *value = v;
  return ok;
}

bool ParseDouble(const std::string& text, double* value) {
  bool ok = false;
  const double v = QString::fromStdString(text).trimmed().toDouble(&ok);
  if (ok && std::isfinite(v)) *value = v;
  return ok && std::isfinite(v);
}

}  // namespace

QString FormatSeconds(double seconds) {
  QString s = QString::number(seconds, 'f', 3);
  while (s.endsWith('0')) s.chop(1);
  if (s.endsWith('.')) s.chop(1);
  return s;
}

PlayerMovie::PlayerMovie(FlashControl* control) : Movie(control) {
  frameTimer_.setInterval(1000 / kFramesPerSecond);
  connect(&frameTimer_, &QTimer::timeout, this, &PlayerMovie::OnFrame);
  clickTimer_.setSingleShot(true);
  clickTimer_.setInterval(kDoubleClickMs);
  connect(&clickTimer_, &QTimer::timeout, this, &PlayerMovie::OnSingleClick);

  Register("SetMoive", 1, [this](const Arguments& a) { SetMoive(a[0]); });
  Register("PlayMovie", 0, [this](const Arguments&) {
    if (video_) video_->SetPaused(false);
  });
  Register("PauseMovie", 0, [this](const Arguments&) {
    if (video_) video_->SetPaused(true);
  });
  Register("StopMovie", 0, [this](const Arguments&) { StopMovie(); });
  Register("SetSound", 1, [this](const Arguments& a) {
    int v = 0;
    if (!ParseInt(a[0], &v)) return;
    EnsureVideo().SetVolume(v);
  });
  Register("SetProcess", 1, [this](const Arguments& a) {
    double s = 0;
    if (!ParseDouble(a[0], &s) || !video_) return;
    video_->Seek(std::trunc(s < 0 ? 0 : s));
  });
  Register("SetSize", 1, [this](const Arguments& a) {
    int v = 0;
    if (!ParseInt(a[0], &v) || v < 0) return;
    percent_ = v;
    Repaint();
  });
  Register("SetFullScreen", 0, [this](const Arguments&) {
    restoreForm_ = true;
    Repaint();
  });
  Register("SetRestoreScreen", 0, [this](const Arguments&) {
    restoreForm_ = false;
    Repaint();
  });
  Register("HideFrame", 0, [this](const Arguments&) {
    if (overlayTenths_ <= 0) return;
    overlayTenths_ = std::max(0, overlayTenths_ - 1);
    outlineTenths_ = std::max(0, outlineTenths_ - 1);
    Repaint();
  });
  Register("ShowFrame", 0, [this](const Arguments&) {
    overlayTenths_ = 10;
    outlineTenths_ = 6;
    Repaint();
  });
  Register("CloseMovie", 0, [this](const Arguments&) { CloseStream(); });
}

PlayerMovie::~PlayerMovie() = default;

void PlayerMovie::Unload() {
  Movie::Unload();
  clickTimer_.stop();
  CloseStream();
}

void PlayerMovie::SetMoive(const std::string& pathOrAddress) {
  CloseStream();
  if (pathOrAddress.empty()) return;
  path_ = QString::fromStdString(pathOrAddress);
  sentSize_ = false;
  sentDuration_ = false;
  bufferingHidden_ = false;
  if (!EnsureVideo().Open(MediaAddress(path_), false)) {
    Send(QStringLiteral("StreamNotFound"));
    return;
  }
  frameTimer_.start();
  Repaint();
}

MpvVideo& PlayerMovie::EnsureVideo() {
  if (video_) return *video_;
  video_ = std::make_unique<MpvVideo>();
  MpvVideo* v = video_.get();
  connect(v, &MpvVideo::FrameReady, this, [this] { Repaint(); });
  connect(v, &MpvVideo::BufferingChanged, this, [this](bool) { Repaint(); });
  connect(v, &MpvVideo::DurationChanged, this, [this](double d) {
    if (sentDuration_) return;
    sentDuration_ = true;
    Send(QStringLiteral("duration"), FormatSeconds(d));
  });
  connect(v, &MpvVideo::Finished, this, [this] { Send(QStringLiteral("playfinish")); });
  connect(v, &MpvVideo::NotFound, this, [this] {
    frameTimer_.stop();
    Repaint();
    Send(QStringLiteral("StreamNotFound"));
  });
  return *v;
}

void PlayerMovie::StopMovie() {
  if (!video_) return;
  video_->Seek(0);
  video_->SetPaused(true);
  bufferingHidden_ = true;
  Repaint();
}

void PlayerMovie::CloseStream() {
  frameTimer_.stop();
  if (video_) video_->Close();
  Repaint();
}

QSize PlayerMovie::NativeSize() const { return video_ && video_->IsOpen() ? video_->NativeSize() : QSize(); }

void PlayerMovie::OnFrame() {
  if (!video_ || !video_->IsOpen()) return;
  video_->Poll();
  if (!video_->IsOpen()) return;
  const QSize native = video_->NativeSize();
  if (!sentSize_ && native.width() > 0 && native.height() > 0) {
    sentSize_ = true;
    Send(QStringLiteral("width"), QString::number(native.width()));
    Send(QStringLiteral("height"), QString::number(native.height()));
  }
  if (!video_ || !video_->IsOpen()) return;  // a host may close on "height"
  Send(QStringLiteral("playtime"), FormatSeconds(video_->Position()));
  if (BufferingShown()) {
    spinner_ = (spinner_ + 1) % 12;
    Repaint();
  }
}

bool PlayerMovie::BufferingShown() const {
  return video_ && video_->IsOpen() && video_->Buffering() && !bufferingHidden_;
}

QRect PlayerMovie::PictureRect() const {
  const QSize native = NativeSize();
  if (native.isEmpty()) return QRect();
  QSize size(static_cast<int>(static_cast<int64_t>(native.width()) * percent_ / 100),
             static_cast<int>(static_cast<int64_t>(native.height()) * percent_ / 100));
  if (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)
    size = size.scaled(kMaxPictureSide, kMaxPictureSide, Qt::KeepAspectRatio);
  QRect r(QPoint(0, 0), size);
  r.moveCenter(control()->rect().center());
  return r;
}

QRect PlayerMovie::ButtonRect(Button button) const {
  // The overlay sits in the top-right corner of the picture, or of the
  // stage while there is no picture.
  QRect area = PictureRect().intersected(control()->rect());
  if (area.isEmpty()) area = control()->rect();
  const int top = area.top() + kMargin;
  const int right = area.right() - kMargin + 1;
  const int maxLeft = right - kButtonW;
  const int zoom2Left = maxLeft - kGap - kLabelW - kGap - kButtonW;
  const int zoom1Left = zoom2Left - kGap - kButtonW;
  switch (button) {
    case Button::Zoom1x: return QRect(zoom1Left, top, kButtonW, kButtonH);
    case Button::Zoom2x: return QRect(zoom2Left, top, kButtonW, kButtonH);
    case Button::MaximiseRestore: return QRect(maxLeft, top, kButtonW, kButtonH);
  }
  return QRect();
}

void PlayerMovie::MousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (overlayTenths_ > 0) {
    if (ButtonRect(Button::Zoom1x).contains(p)) return Send(QStringLiteral("scale"), QStringLiteral("100"));
    if (ButtonRect(Button::Zoom2x).contains(p)) return Send(QStringLiteral("scale"), QStringLiteral("200"));
    if (ButtonRect(Button::MaximiseRestore).contains(p))
      return Send(QStringLiteral("scale"), restoreForm_ ? QStringLiteral("1") : QStringLiteral("0"));
  }
  if (!PictureRect().contains(p)) return;
  if (clickTimer_.isActive()) {
    clickTimer_.stop();
    Send(QStringLiteral("scale"), QStringLiteral("0"));
  } else {
    clickTimer_.start();
  }
}

void PlayerMovie::OnSingleClick() { Send(QStringLiteral("play"), QStringLiteral("0")); }

void PlayerMovie::Paint(QPainter& painter) {
  const QRect stage = control()->rect();
  painter.fillRect(stage, Qt::black);
  const QRect picture = PictureRect();
  if (video_ && video_->IsOpen()) DrawVideo(painter, *video_, picture, control()->devicePixelRatioF());

  painter.setRenderHint(QPainter::Antialiasing, true);
  if (!picture.isEmpty() && outlineTenths_ > 0) {
    painter.setOpacity(outlineTenths_ / 10.0);
    painter.setPen(QPen(QColor(226, 240, 194), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(picture).adjusted(0.5, 0.5, -0.5, -0.5));
  }

  if (overlayTenths_ > 0) {
    painter.setOpacity(overlayTenths_ / 10.0);
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    auto button = [&](const QRect& r, const QString& text) {
      painter.setPen(QPen(QColor(255, 255, 255, 160), 1));
      painter.setBrush(QColor(20, 20, 20, 190));
      painter.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
      if (!text.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(r, Qt::AlignCenter, text);
      }
    };
    button(ButtonRect(Button::Zoom1x), QStringLiteral("1x"));
    button(ButtonRect(Button::Zoom2x), QStringLiteral("2x"));
    const QRect label(ButtonRect(Button::Zoom2x).right() + 1 + kGap, ButtonRect(Button::Zoom2x).top(), kLabelW,
                      kButtonH);
    button(label, QString::number(percent_) + QLatin1Char('%'));
    const QRect m = ButtonRect(Button::MaximiseRestore);
    button(m, QString());
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(Qt::NoBrush);
    const QRectF icon = QRectF(m).adjusted(7, 4, -7, -4);
    if (restoreForm_) {
      // Two overlapping windows: back to the window.
      painter.drawRect(icon.adjusted(3, 0, 0, -3));
      painter.drawRect(icon.adjusted(0, 3, -3, 0));
    } else {
      painter.drawRect(icon);
      painter.drawLine(icon.topLeft() + QPointF(0, 2), icon.topRight() + QPointF(0, 2));
    }
  }

  if (BufferingShown()) {
    painter.setOpacity(1.0);
    const QPointF c = QRectF(picture.isEmpty() ? stage : picture).center();
    for (int i = 0; i < 12; ++i) {
      const double angle = (i * 30.0) * M_PI / 180.0;
      const int age = (spinner_ - i + 12) % 12;
      painter.setPen(QPen(QColor(255, 255, 255, 255 - age * 18), 3, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(c + QPointF(std::cos(angle) * 8, std::sin(angle) * 8),
                       c + QPointF(std::cos(angle) * 15, std::sin(angle) * 15));
    }
  }
  painter.setOpacity(1.0);
}

}  // namespace flash
