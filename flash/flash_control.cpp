#include "flash/flash_control.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <memory>

#include "flash/movie.h"

namespace flash {

namespace {
// What the stand-in reports: version 10.0, in the installed player's form.
constexpr int kVersion = 10 << 16;
}  // namespace

struct FlashControl::Impl {
  Movie* movie = nullptr;  // owned as a QObject child of the control
  int scaleMode = 0;
  QString allowScriptAccess;
};

FlashControl::FlashControl(QWidget* parent, int controlId)
    : QWidget(parent), controlId_(controlId), impl_(new Impl) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setMouseTracking(false);
}

FlashControl::~FlashControl() {
  delete impl_->movie;
  delete impl_;
}

int FlashControl::FlashVersion() const { return kVersion; }

void FlashControl::LoadMovie(int /*layer*/, const QString& path) {
  // A host may load another movie from inside one of the movie's commands.
  if (Movie* old = impl_->movie) {
    impl_->movie = nullptr;
    old->Unload();
    old->deleteLater();
  }
  const QFileInfo info(path);
  if (!path.isEmpty() && info.isFile()) impl_->movie = CreateMovieForFile(info.fileName(), this);
  if (impl_->movie) impl_->movie->Resized();
  update();
}

QString FlashControl::CallFunction(const QString& request) {
  if (impl_->movie) impl_->movie->Invoke(request.toStdString());
  return QString();
}

void FlashControl::SetScaleMode(int mode) { impl_->scaleMode = mode; }

void FlashControl::SetAllowScriptAccess(const QString& access) { impl_->allowScriptAccess = access; }

void FlashControl::GotoFrame(int frame) {
  if (impl_->movie) impl_->movie->GotoFrame(frame);
}

void FlashControl::Play() {
  if (impl_->movie) impl_->movie->Play();
}

void FlashControl::Stop() {
  if (impl_->movie) impl_->movie->Stop();
}

Movie* FlashControl::CurrentMovie() const { return impl_->movie; }

int FlashControl::ScaleMode() const { return impl_->scaleMode; }

QString FlashControl::AllowScriptAccess() const { return impl_->allowScriptAccess; }

void FlashControl::paintEvent(QPaintEvent*) {
  if (!impl_->movie) return;
  QPainter painter(this);
  impl_->movie->Paint(painter);
}

void FlashControl::mousePressEvent(QMouseEvent* event) {
  if (impl_->movie) impl_->movie->MousePress(event);
}

void FlashControl::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is a second press to the movies; they time clicks
  // themselves.
  if (impl_->movie) impl_->movie->MousePress(event);
}

void FlashControl::resizeEvent(QResizeEvent*) {
  if (impl_->movie) impl_->movie->Resized();
}

}  // namespace flash
