#include "flash/video_movies.h"

#include <QPainter>

#include "flash/flash_control.h"
#include "flash/media_address.h"
#include "flash/mpv_video.h"
#include "flash/player_movie.h"

namespace flash {

FittedVideoMovie::FittedVideoMovie(FlashControl* control) : Movie(control) {}

FittedVideoMovie::~FittedVideoMovie() = default;

void FittedVideoMovie::Unload() {
  Movie::Unload();
  Close();
}

MpvVideo& FittedVideoMovie::video() {
  if (!video_) {
    video_ = std::make_unique<MpvVideo>();
    connect(video_.get(), &MpvVideo::FrameReady, this, [this] { Repaint(); });
    VideoCreated(*video_);
  }
  return *video_;
}

void FittedVideoMovie::Close() {
  if (video_) video_->Close();
  Repaint();
}

void FittedVideoMovie::Paint(QPainter& painter) {
  const QRect stage = control()->rect();
  painter.fillRect(stage, Qt::black);
  if (!video_ || !video_->IsOpen()) return;
  DrawVideo(painter, *video_, FitRect(video_->NativeSize(), stage), control()->devicePixelRatioF());
}

PreviewMovie::PreviewMovie(FlashControl* control) : FittedVideoMovie(control) {
  Register("SetMovie", 3, [this](const Arguments& a) {
    Close();
    if (a[0].empty()) return;
    bool ok = false;
    const int id = QString::fromStdString(a[2]).toInt(&ok);
    taskIndex_ = ok ? id : -1;
    const bool play = QString::fromStdString(a[1]).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    video().Open(MediaAddress(QString::fromStdString(a[0])), !play);
  });
  Register("CloseMovie", 0, [this](const Arguments&) {
    taskIndex_ = -1;
    Close();
  });
}

LinkMovie::LinkMovie(FlashControl* control) : FittedVideoMovie(control) {
  playTime_.setInterval(kPlayTimeMs);
  connect(&playTime_, &QTimer::timeout, this, [this] {
    if (Video() && Video()->IsOpen() && Video()->HasFrame())
      Send(QStringLiteral("PlayTime"), FormatSeconds(Video()->Position()));
  });
  Register("setMovie", 1, [this](const Arguments& a) {
    playTime_.stop();
    Close();
    const QString address = QString::fromStdString(a[0]);
    if (address.isEmpty()) return;
    MpvVideo& v = video();
    v.SetMuted(true);
    if (!v.Open(MediaAddress(address), false)) Send(QStringLiteral("StreamNotFound"));
  });
}

void LinkMovie::VideoCreated(MpvVideo& v) {
  connect(&v, &MpvVideo::NotFound, this, [this] {
    playTime_.stop();
    Send(QStringLiteral("StreamNotFound"));
  });
  connect(&v, &MpvVideo::BufferingChanged, this, [this](bool buffering) {
    // The first picture is the start of play.
    if (!buffering && Video()->HasFrame() && !playTime_.isActive()) {
      playTime_.start();
      Send(QStringLiteral("PlayStart"));
    }
  });
}

}  // namespace flash
