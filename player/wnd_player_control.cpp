#include "player/wnd_player_control.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "flash/invoke_request.h"
#include "player/open_rules.h"
#include "ui/player_pictures.h"

namespace {

// Left edges relative to the bar's horizontal centre.
constexpr int kPlayX = -154, kStopX = -130, kBackwardX = -106, kForwardX = -82;
constexpr int kMuteX = 55, kVolumeX = 88;
// The time text's place starts at -48; the text itself may use the whole
// gap between the forward and the mute button, so "00:00:00 / 00:00:00"
// fits in wider fonts.
constexpr int kTimeTextLeft = -56, kTimeTextRight = 53;
constexpr int kButtonY = 18, kVolumeY = 26, kVolumeWidth = 64;
constexpr int kTimeY = 18, kTimeHeight = 24;
constexpr int kSeekTop = 3;
constexpr int kGrip = 9, kSizingCorner = 10;

}  // namespace

CWndPlayerControl::CWndPlayerControl(PlayerSettings* settings, MovieCall call,
                                     std::function<bool()> viewHasMovie, QWidget* parent)
    : QWidget(parent), settings_(settings), call_(std::move(call)),
      viewHasMovie_(std::move(viewHasMovie)) {
  setFixedHeight(kHeight);
  setMouseTracking(true);
  auto button = [&](PlayerGlyph glyph, void (CWndPlayerControl::*slot)()) {
    auto* b = new CPictureButton(this);
    b->SetImage(ButtonFrames(glyph, devicePixelRatioF()));
    connect(b, &QAbstractButton::clicked, this, slot);
    return b;
  };
  play_ = button(PlayerGlyph::Play, &CWndPlayerControl::PlayPause);
  stop_ = button(PlayerGlyph::Stop, &CWndPlayerControl::Stop);
  backward_ = button(PlayerGlyph::Backward, &CWndPlayerControl::Backward);
  forward_ = button(PlayerGlyph::Forward, &CWndPlayerControl::Forward);
  mute_ = button(PlayerGlyph::Sound, &CWndPlayerControl::Mute);
  play_->setToolTip(tr("Play/Pause"));
  stop_->setToolTip(tr("Stop"));
  backward_->setToolTip(tr("Backward"));
  forward_->setToolTip(tr("Forward"));
  mute_->setToolTip(tr("Mute"));

  seek_ = new CBmpSlider(CBmpSlider::Seek, this);
  volume_ = new CBmpSlider(CBmpSlider::Volume, this);
  volume_->setFixedWidth(kVolumeWidth);
  volume_->SetRangeMax(100);
  volume_->SetPos(settings_->Sound);
  connect(seek_, &CBmpSlider::Notify, this, &CWndPlayerControl::OnSliderNotify);
  connect(volume_, &CBmpSlider::Notify, this, &CWndPlayerControl::OnSliderNotify);

  font_ = QFont(QStringLiteral("Arial"));
  font_.setPointSize(8);
  setMinimumWidth(320);
}

CWndPlayerControl::~CWndPlayerControl() {
  settings_->Sound = static_cast<int>(volume_->Pos());
  settings_->Muted = muted_;
}

void CWndPlayerControl::ApplySettings() {
  Call(flash::invoke::SetSound(settings_->Sound));
  if (settings_->Muted) Mute();
}

CPictureButton* CWndPlayerControl::Button(ControlId id) const {
  switch (id) {
    case IDC_PLAY: return play_;
    case IDC_STOP: return stop_;
    case IDC_BACKWARD: return backward_;
    case IDC_FORWARD: return forward_;
    case IDC_MUTE: return mute_;
    default: return nullptr;
  }
}

bool CWndPlayerControl::Call(const std::string& request) const {
  return call_ ? call_(request) : false;
}

void CWndPlayerControl::SetPlaying(bool playing) {
  playing_ = playing;
  emit PlayStateChanged();
}

void CWndPlayerControl::ShowPlayImage(bool play) {
  play_->SetImage(ButtonFrames(play ? PlayerGlyph::Play : PlayerGlyph::Pause, devicePixelRatioF()));
}

void CWndPlayerControl::SetMuteImage(bool muted) {
  mute_->SetImage(ButtonFrames(muted ? PlayerGlyph::Muted : PlayerGlyph::Sound, devicePixelRatioF()));
}

void CWndPlayerControl::SendPosition() {
  Call(flash::invoke::SetProcess(positionMs_ / 1000.0));
}

bool CWndPlayerControl::Load(const QString& path) {
  moviePath_ = path;
  if (!Call(flash::invoke::SetMoive(path.toStdString()))) {
    SetPlaying(false);
    return false;
  }
  seek_->SetRangeMax(0);
  seek_->SetPos(0);
  durationMs_ = 0;
  positionMs_ = 0;
  ShowPlayImage(false);
  SetPlaying(true);
  RedrawTime();
  return true;
}

void CWndPlayerControl::Close() {
  ShowPlayImage(true);
  positionMs_ = 0;
  SetPlaying(false);
  seek_->SetRangeMax(0);
  seek_->SetPos(0);
  Call(flash::invoke::CloseMovie());
  RedrawTime();
}

void CWndPlayerControl::PlayPause() {
  if (!HasMovie()) return;
  if (playing_) {
    Call(flash::invoke::PauseMovie());
    ShowPlayImage(true);
  } else {
    Call(flash::invoke::PlayMovie());
    ShowPlayImage(false);
  }
  SetPlaying(!playing_);
}

void CWndPlayerControl::Stop() {
  if (!HasMovie()) return;
  Call(flash::invoke::StopMovie());
  ShowPlayImage(true);
  positionMs_ = 0;
  seek_->SetPos(0);
  SetPlaying(false);
  RedrawTime();
}

void CWndPlayerControl::Backward() {
  if (!HasMovie()) return;
  positionMs_ = std::max(0, positionMs_ - durationMs_ / 20);
  SendPosition();
}

void CWndPlayerControl::Forward() {
  if (!HasMovie()) return;
  // 64-bit sum: a position near the top of the range must not wrap.
  int64_t next = static_cast<int64_t>(positionMs_) + durationMs_ / 20;
  if (next >= durationMs_) next = static_cast<int64_t>(durationMs_) - 2000;
  positionMs_ = static_cast<int32_t>(std::max<int64_t>(0, next));
  SendPosition();
}

void CWndPlayerControl::Mute() {
  if (muted_) {
    SetMuteImage(false);
    Call(flash::invoke::SetSound(static_cast<int>(volume_->Pos())));
  } else {
    SetMuteImage(true);
    Call(flash::invoke::SetSound(0));
  }
  muted_ = !muted_;
}

void CWndPlayerControl::OnSliderNotify(const SliderNotification& note) {
  if (note.slider == volume_) {
    if (muted_) {
      muted_ = false;
      SetMuteImage(false);
    }
    Call(flash::invoke::SetSound(static_cast<int>(note.value)));
  } else if (note.slider == seek_) {
    Call(flash::invoke::SetProcess(static_cast<double>(note.value) / 1000.0));
  }
}

void CWndPlayerControl::MovieCommand(const QString& name, const QString& argument) {
  if (!HasMovie()) return;
  if (name.compare(QLatin1String("duration"), Qt::CaseInsensitive) == 0) {
    durationMs_ = MovieSecondsToMs(argument);
    seek_->SetRangeMax(std::max(0, durationMs_));
    RedrawTime();
  } else if (name.compare(QLatin1String("playtime"), Qt::CaseInsensitive) == 0) {
    positionMs_ = MovieSecondsToMs(argument);
    if (!seek_->IsDragging() && playing_) seek_->SetPos(positionMs_);
  } else if (name.compare(QLatin1String("playfinish"), Qt::CaseInsensitive) == 0) {
    if (settings_->Repeat) {
      Call(flash::invoke::SetProcess(0));
      Call(flash::invoke::PlayMovie());
      return;
    }
    ShowPlayImage(true);
    positionMs_ = 0;
    seek_->SetPos(0);
    Call(flash::invoke::SetProcess(0));
    Call(flash::invoke::PauseMovie());
    SetPlaying(false);
    RedrawTime();
  }
}

void CWndPlayerControl::SetSize(int percent) { Call(flash::invoke::SetSize(percent)); }

QString CWndPlayerControl::TimeText() const {
  return PlayTimeText(HasMovie(), positionMs_, durationMs_);
}

void CWndPlayerControl::RedrawTime() { update(timeRect_); }

void CWndPlayerControl::resizeEvent(QResizeEvent*) {
  const int centre = width() / 2;
  seek_->setGeometry(0, kSeekTop, width(), CBmpSlider::FixedHeight(CBmpSlider::Seek));
  play_->move(centre + kPlayX, kButtonY);
  stop_->move(centre + kStopX, kButtonY);
  backward_->move(centre + kBackwardX, kButtonY);
  forward_->move(centre + kForwardX, kButtonY);
  mute_->move(centre + kMuteX, kButtonY);
  volume_->move(centre + kVolumeX, kVolumeY);
  timeRect_ = QRect(centre + kTimeTextLeft, kTimeY, kTimeTextRight - kTimeTextLeft, kTimeHeight);
}

void CWndPlayerControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(rect(), BarBackground(kHeight, devicePixelRatioF()));
  p.drawPixmap(width() - kGrip, height() - kGrip, SizingGrip(devicePixelRatioF()));
  // Without Arial itself the substitute may run wider: narrow it to fit.
  const QString text = TimeText();
  QFont font = font_;
  int wide = QFontMetrics(font).horizontalAdvance(text);
  if (wide > timeRect_.width() && wide > 0)
    font.setStretch(std::max(50, timeRect_.width() * 100 / wide));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(timeRect_, Qt::AlignCenter, text);
}

bool CWndPlayerControl::InSizingCorner(QPoint p) const {
  return p.x() >= width() - kSizingCorner && p.y() >= height() - kSizingCorner;
}

void CWndPlayerControl::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  QWindow* w = window()->windowHandle();
  if (!w || window()->isFullScreen()) return;
  // Pressing the bar moves the window as its caption would; its corner sizes it.
  if (InSizingCorner(e->position().toPoint()))
    w->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
  else
    w->startSystemMove();
}

void CWndPlayerControl::mouseMoveEvent(QMouseEvent* e) {
  setCursor(InSizingCorner(e->position().toPoint()) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
}
