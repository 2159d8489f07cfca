#include "flash/mpv_video.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>
#include <atomic>
#include <clocale>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <cstring>

namespace flash {

namespace {

QString& AudioOutput() {
  static QString name;
  return name;
}

RendererChoice& Choice() {
  // TAMBOREL_VIDEO_RENDERER=software keeps a display whose OpenGL misbehaves
  // on the software renderer; =opengl takes OpenGL even where it is drawn
  // in software.
  static RendererChoice choice = [] {
    const QByteArray name = qgetenv("TAMBOREL_VIDEO_RENDERER");
    if (name == "software") return RendererChoice::Software;
    if (name == "opengl") return RendererChoice::OpenGL;
    return RendererChoice::Automatic;
  }();
  return choice;
}

// Mesa's rasterisers that run on the CPU; libmpv's shaders on them cost
// several times what its software renderer does.
bool IsSoftwareRasteriser(const char* renderer) {
  if (!renderer) return true;
  for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
    if (std::strstr(renderer, name)) return true;
  return false;
}

enum PropertyId : uint64_t { kDuration = 1, kEofReached, kPausedForCache };

}  // namespace

void SetAudioOutput(const QString& name) { AudioOutput() = name; }

void SetRendererChoice(RendererChoice choice) { Choice() = choice; }

namespace {

void FreeAligned(void* data) { std::free(data); }

// A picture whose rows start on 64-byte boundaries, as libmpv's software
// renderer prefers; null when memory ran out. In the layout of the window
// system's own pictures (bytes B, G, R, X), so painting it is a plain copy.
QImage AlignedImage(QSize size) {
  const size_t stride = (static_cast<size_t>(size.width()) * 4 + 63) / 64 * 64;
  void* data = std::aligned_alloc(64, stride * static_cast<size_t>(size.height()));
  if (!data) return QImage();
  return QImage(static_cast<uchar*>(data), size.width(), size.height(), static_cast<qsizetype>(stride),
                QImage::Format_RGB32, &FreeAligned, data);
}

// Where libmpv draws a frame: its software renderer straight into the
// picture, or its OpenGL renderer into an offscreen framebuffer that is
// read back into the picture. Everything here runs on the render thread.
class FrameTarget {
 public:
  virtual ~FrameTarget() = default;
  virtual VideoRenderer Kind() const = 0;
  // Makes the render context; false when this target cannot work here.
  virtual bool Init(mpv_handle* mpv, mpv_render_context** context) = 0;
  // A picture of `size` to render into.
  virtual QImage NewImage(QSize size) = 0;
  virtual bool Render(mpv_render_context* context, QImage& image) = 0;
  virtual void Skip(mpv_render_context* context) = 0;
  // Frees the context (with whatever it needs current).
  virtual void Release(mpv_render_context* context) { mpv_render_context_free(context); }
};

class SoftwareTarget : public FrameTarget {
 public:
  VideoRenderer Kind() const override { return VideoRenderer::Software; }
  bool Init(mpv_handle* mpv, mpv_render_context** context) override {
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_create(context, mpv, params) >= 0;
  }
  QImage NewImage(QSize size) override { return AlignedImage(size); }
  bool Render(mpv_render_context* context, QImage& image) override {
    int wh[2] = {image.width(), image.height()};
    size_t stride = static_cast<size_t>(image.bytesPerLine());
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, wh},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(context, params) >= 0;
  }
  void Skip(mpv_render_context* context) override {
    int skip = 1;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(context, params);
  }
};

class OpenGLTarget : public FrameTarget {
 public:
  // `surface` was made on the UI thread, as Qt requires; it outlives us.
  OpenGLTarget(QOffscreenSurface* surface, bool onSoftwareRasteriser)
      : surface_(surface), onSoftwareRasteriser_(onSoftwareRasteriser) {}
  ~OpenGLTarget() override {
    if (context_ && context_->makeCurrent(surface_)) {
      fbo_.reset();
      context_->doneCurrent();
    }
  }
  VideoRenderer Kind() const override { return VideoRenderer::OpenGL; }

  bool Init(mpv_handle* mpv, mpv_render_context** context) override {
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(surface_->requestedFormat());
    if (!context_->create() || !context_->makeCurrent(surface_)) return false;
    const auto* renderer = reinterpret_cast<const char*>(context_->functions()->glGetString(GL_RENDERER));
    if (!onSoftwareRasteriser_ && IsSoftwareRasteriser(renderer)) return false;
    mpv_opengl_init_params gl{&OpenGLTarget::ProcAddress, context_.get()};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_create(context, mpv, params) >= 0;
  }

  // Rows packed tightly, as the read-back writes them; B, G, R, A where
  // OpenGL reads that order, so painting the picture is a plain copy.
  QImage NewImage(QSize size) override {
    return QImage(size, context_->isOpenGLES() ? QImage::Format_RGBX8888 : QImage::Format_RGB32);
  }

  bool Render(mpv_render_context* context, QImage& image) override {
    if (!Framebuffer(image.size())) return false;
    if (!Draw(context, false)) return false;
    QOpenGLFunctions* gl = context_->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo_->handle());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // The framebuffer's first row is the picture's top: libmpv draws
    // unflipped, so no row needs turning over here.
    const GLenum order = image.format() == QImage::Format_RGB32 ? GL_BGRA : GL_RGBA;
    gl->glReadPixels(0, 0, image.width(), image.height(), order, GL_UNSIGNED_BYTE, image.bits());
    return gl->glGetError() == GL_NO_ERROR;
  }

  void Skip(mpv_render_context* context) override {
    if (Framebuffer(fbo_ ? fbo_->size() : QSize(16, 16))) Draw(context, true);
  }

  void Release(mpv_render_context* context) override {
    // libmpv frees its GL objects in this context.
    if (context_->makeCurrent(surface_)) mpv_render_context_free(context);
  }

 private:
  static void* ProcAddress(void* context, const char* name) {
    return reinterpret_cast<void*>(static_cast<QOpenGLContext*>(context)->getProcAddress(name));
  }

  bool Framebuffer(QSize size) {
    if (!context_->makeCurrent(surface_)) return false;
    if (fbo_ && fbo_->size() == size) return true;
    fbo_ = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::NoAttachment, GL_TEXTURE_2D,
                                                      GL_RGBA8);
    if (!fbo_->isValid()) fbo_.reset();
    return fbo_ != nullptr;
  }

  bool Draw(mpv_render_context* context, bool skip) {
    mpv_opengl_fbo target{static_cast<int>(fbo_->handle()), fbo_->width(), fbo_->height(), 0};
    int flip = 0;
    int skipRendering = skip ? 1 : 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skipRendering},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(context, params) >= 0;
  }

  QOffscreenSurface* surface_;
  bool onSoftwareRasteriser_;
  std::unique_ptr<QOpenGLContext> context_;
  std::unique_ptr<QOpenGLFramebufferObject> fbo_;
};

}  // namespace

// Pulls frames from libmpv as they come and renders them at the size the
// control wants; hands each picture to the UI thread. The render context
// lives on this thread from start to end, as libmpv's OpenGL renderer needs.
class MpvVideo::Renderer {
 public:
  // Starts the thread and makes the render context there; nullptr when the
  // target cannot work on this display.
  static std::unique_ptr<Renderer> Start(mpv_handle* mpv, RendererChoice choice, MpvVideo* owner) {
    std::unique_ptr<QOffscreenSurface> surface;
    std::unique_ptr<FrameTarget> target;
    if (choice != RendererChoice::Software) {
      if (!QOpenGLContext::supportsThreadedOpenGL()) return nullptr;
      surface = std::make_unique<QOffscreenSurface>();
      surface->setFormat(QSurfaceFormat::defaultFormat());
      surface->create();
      if (!surface->isValid()) return nullptr;
      target = std::make_unique<OpenGLTarget>(surface.get(), choice == RendererChoice::OpenGL);
    } else {
      target = std::make_unique<SoftwareTarget>();
    }
    std::unique_ptr<Renderer> renderer(new Renderer(std::move(target), std::move(surface), owner));
    if (!renderer->Init(mpv)) return nullptr;
    return renderer;
  }

  ~Renderer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  VideoRenderer Kind() const { return target_->Kind(); }

  // From libmpv's threads: something to render.
  void Update() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      update_ = true;
    }
    wake_.notify_one();
  }

  // From the UI thread: the size wanted, whether a stream is shown, and
  // which stream it is.
  void SetTarget(QSize size, bool show, uint64_t generation) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      target_size_ = size;
      show_ = show;
      generation_ = generation;
      redraw_ = true;
    }
    wake_.notify_one();
  }

 private:
  enum class State { Starting, Running, Failed };

  Renderer(std::unique_ptr<FrameTarget> target, std::unique_ptr<QOffscreenSurface> surface, MpvVideo* owner)
      : target_(std::move(target)), surface_(std::move(surface)), owner_(owner) {}

  bool Init(mpv_handle* mpv) {
    thread_ = std::thread([this, mpv] { Run(mpv); });
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return state_ != State::Starting; });
    if (state_ == State::Running) return true;
    lock.unlock();
    thread_.join();
    return false;
  }

  static void OnUpdate(void* self) { static_cast<Renderer*>(self)->Update(); }

  void Run(mpv_handle* mpv) {
    const bool ok = target_->Init(mpv, &context_);
    if (ok) mpv_render_context_set_update_callback(context_, &Renderer::OnUpdate, this);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_ = ok ? State::Running : State::Failed;
    }
    wake_.notify_all();
    if (ok) Loop();
    if (context_) {
      mpv_render_context_set_update_callback(context_, nullptr, nullptr);
      target_->Release(context_);
      context_ = nullptr;
    }
    // The target's GL objects go with the thread that made them.
    target_.reset();
  }

  void Loop() {
    for (;;) {
      bool update = false, redraw = false, show = false;
      QSize size;
      uint64_t generation = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return update_ || redraw_ || stop_; });
        if (stop_) return;
        std::swap(update, update_);
        std::swap(redraw, redraw_);
        size = target_size_;
        show = show_;
        generation = generation_;
      }
      const uint64_t flags = update ? mpv_render_context_update(context_) : 0;
      const bool frame = flags & MPV_RENDER_UPDATE_FRAME;
      // A redraw repeats the last frame, which must belong to this stream.
      if (!frame && !(redraw && show && frameGeneration_ == generation)) continue;
      if (!show || size.isEmpty()) {
        // Keep libmpv's queue moving; nothing is shown.
        target_->Skip(context_);
        continue;
      }
      QImage* slot = FreeImage(size);
      // Drawn while only this thread holds the picture, so nothing copies it.
      if (slot->isNull() || !target_->Render(context_, *slot)) continue;
      if (frame) frameGeneration_ = generation;
      const QImage image = *slot;
      // Dropped with the owner if it is gone by then.
      MpvVideo* owner = owner_;
      QMetaObject::invokeMethod(
          owner, [owner, image, generation] { owner->OnRendered(image, generation); }, Qt::QueuedConnection);
    }
  }

  // A picture to render into that nobody else holds any more: the few in
  // turn are reused, so a frame costs no fresh allocation.
  QImage* FreeImage(QSize size) {
    for (QImage& image : pool_) {
      if (image.size() == size && image.isDetached()) {
        // The UI thread's last look at its pixels comes before this.
        std::atomic_thread_fence(std::memory_order_acquire);
        return &image;
      }
    }
    for (QImage& image : pool_) {
      if (image.isNull() || image.isDetached()) {
        image = target_->NewImage(size);
        return &image;
      }
    }
    spare_ = target_->NewImage(size);
    return &spare_;
  }

  std::unique_ptr<FrameTarget> target_;
  std::unique_ptr<QOffscreenSurface> surface_;  // UI thread's, used here
  MpvVideo* owner_;
  mpv_render_context* context_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  State state_ = State::Starting;
  bool update_ = false;
  bool redraw_ = false;
  bool stop_ = false;
  bool show_ = false;
  QSize target_size_;
  uint64_t generation_ = 0;
  uint64_t frameGeneration_ = ~uint64_t(0);  // render thread only
  QImage pool_[3];
  QImage spare_;  // when the UI thread still holds all of them
};

MpvVideo::MpvVideo(QObject* parent) : QObject(parent) {}

MpvVideo::~MpvVideo() { Destroy(); }

void MpvVideo::SetOption(const char* name, const char* value) { mpv_set_option_string(mpv_, name, value); }

void MpvVideo::Command(std::initializer_list<const char*> args) {
  if (!mpv_) return;
  std::vector<const char*> argv(args);
  argv.push_back(nullptr);
  // Synchronous, so a later command can never overtake it (a stop must not
  // end the file opened after it).
  mpv_command(mpv_, argv.data());
}

bool MpvVideo::Create() {
  if (mpv_) return true;
  // libmpv parses numbers with the C library and refuses to start otherwise.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) return false;
  SetOption("config", "no");
  // TAMBOREL_MPV_LOG=<level> shows libmpv's own messages when hunting a fault.
  const QByteArray log = qgetenv("TAMBOREL_MPV_LOG");
  SetOption("terminal", log.isEmpty() ? "no" : "yes");
  SetOption("msg-level", log.isEmpty() ? "all=no" : ("all=" + log).constData());
  SetOption("load-scripts", "no");
  SetOption("ytdl", "no");
  SetOption("osc", "no");
  SetOption("input-default-bindings", "no");
  SetOption("input-vo-keyboard", "no");
  SetOption("vo", "libmpv");
  SetOption("hwdec", "no");
  SetOption("idle", "yes");
  // The movie reports the end itself and may seek back and play again.
  SetOption("keep-open", "always");
  // Frames are rendered on the UI thread, which must never wait for their
  // display time.
  SetOption("video-timing-offset", "0");
  // Progressive play starts with two seconds in the buffer.
  SetOption("cache-pause-initial", "yes");
  SetOption("cache-pause-wait", "2");
  SetOption("demuxer-readahead-secs", "2");
  const QByteArray ao = AudioOutput().toUtf8();
  if (!ao.isEmpty()) SetOption("ao", ao.constData());
  SetOption("audio-fallback-to-null", "yes");
  SetOption("volume", QByteArray::number(volume_).constData());
  SetOption("mute", muted_ ? "yes" : "no");
  if (mpv_initialize(mpv_) < 0) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return false;
  }
  // OpenGL where the display offers it, software otherwise or when the
  // display's OpenGL cannot drive libmpv.
  // Left to us, a display whose OpenGL was turned down once is not tried
  // again: each try makes a context.
  static bool automaticTurnedDown = false;
  const RendererChoice choice = Choice();
  if (choice == RendererChoice::OpenGL || (choice == RendererChoice::Automatic && !automaticTurnedDown)) {
    renderer_ = Renderer::Start(mpv_, choice, this);
    if (!renderer_ && choice == RendererChoice::Automatic) automaticTurnedDown = true;
  }
  if (!renderer_) renderer_ = Renderer::Start(mpv_, RendererChoice::Software, this);
  if (!renderer_) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return false;
  }
  mpv_observe_property(mpv_, kDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mpv_, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
  mpv_set_wakeup_callback(mpv_, &MpvVideo::OnWakeup, this);
  return true;
}

void MpvVideo::Destroy() {
  // The render context goes first: libmpv's core waits for it.
  renderer_.reset();
  if (mpv_) {
    mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
  }
}

void MpvVideo::OnWakeup(void* self) {
  auto* video = static_cast<MpvVideo*>(self);
  if (!video->wakeupQueued_.exchange(true))
    QMetaObject::invokeMethod(video, &MpvVideo::DrainEvents, Qt::QueuedConnection);
}

bool MpvVideo::Open(const QString& pathOrAddress, bool paused) {
  if (!Create()) return false;
  const QByteArray target = pathOrAddress.toUtf8();
  mpv_set_property_string(mpv_, "pause", paused ? "yes" : "no");
  const char* argv[] = {"loadfile", target.constData(), "replace", nullptr};
  mpv_node result;
  if (mpv_command_ret(mpv_, argv, &result) < 0) return false;
  entry_ = -1;
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i) {
      if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
          result.u.list->values[i].format == MPV_FORMAT_INT64)
        entry_ = result.u.list->values[i].u.int64;
    }
  }
  mpv_free_node_contents(&result);
  open_ = true;
  loaded_ = false;
  started_ = false;
  duration_ = 0;
  nativeSize_ = QSize();
  eof_ = false;
  hasFrame_ = false;
  hasVideo_ = true;
  waitingForCache_ = false;
  image_ = QImage();
  ++generation_;
  // Until the control asks for a size, frames are rendered small, so that
  // playback never waits on a control that is not painted.
  renderer_->SetTarget(wanted_.isEmpty() ? QSize(320, 240) : wanted_, true, generation_);
  UpdateBuffering();
  return true;
}

void MpvVideo::Close() {
  if (!open_) return;
  open_ = false;
  entry_ = -1;
  started_ = false;
  Command({"stop"});
  hasFrame_ = false;
  image_ = QImage();
  ++generation_;
  if (renderer_) renderer_->SetTarget(wanted_, false, generation_);
  UpdateBuffering();
}

void MpvVideo::UpdateBuffering() {
  // Play has begun once the cache holds its two seconds and, for a stream
  // with video, the first picture is there.
  const bool buffering = open_ && (waitingForCache_ || (hasVideo_ && !hasFrame_));
  if (buffering == buffering_) return;
  buffering_ = buffering;
  emit BufferingChanged(buffering);
}

void MpvVideo::SetPaused(bool paused) {
  if (mpv_) mpv_set_property_string(mpv_, "pause", paused ? "yes" : "no");
}

void MpvVideo::Seek(double seconds) {
  if (!mpv_ || !open_) return;
  const QByteArray s = QByteArray::number(seconds < 0 ? 0 : seconds, 'f', 3);
  Command({"seek", s.constData(), "absolute+exact"});
}

void MpvVideo::SetVolume(int percent) {
  volume_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  if (!mpv_) return;
  int64_t v = volume_;
  mpv_set_property(mpv_, "volume", MPV_FORMAT_INT64, &v);
}

void MpvVideo::SetMuted(bool muted) {
  muted_ = muted;
  if (mpv_) mpv_set_property_string(mpv_, "mute", muted ? "yes" : "no");
}

double MpvVideo::Position() const {
  if (!mpv_ || !open_) return 0;
  double pos = 0;
  if (mpv_get_property(mpv_, "time-pos", MPV_FORMAT_DOUBLE, &pos) < 0) return 0;
  return pos < 0 ? 0 : pos;
}

double MpvVideo::BufferedAhead() const {
  if (!mpv_ || !open_) return 0;
  double seconds = 0;
  if (mpv_get_property(mpv_, "demuxer-cache-duration", MPV_FORMAT_DOUBLE, &seconds) < 0) return 0;
  return seconds > 0 ? seconds : 0;
}

void MpvVideo::DrainEvents() {
  wakeupQueued_ = false;
  while (mpv_) {
    mpv_event* ev = mpv_wait_event(mpv_, 0);
    if (ev->event_id == MPV_EVENT_NONE) break;
    switch (ev->event_id) {
      case MPV_EVENT_START_FILE: {
        const auto* start = static_cast<mpv_event_start_file*>(ev->data);
        started_ = open_ && start->playlist_entry_id == entry_;
        break;
      }
      case MPV_EVENT_FILE_LOADED:
        if (started_ && !loaded_) {
          loaded_ = true;
          eof_ = false;
          emit Loaded();
          // Values equal to the previous file's are never reported as
          // changes, so each file's own are read here.
          ReadDuration();
          ReadNativeSize();
          // An audio-only stream has no picture to wait for.
          int64_t track = 0;
          hasVideo_ = mpv_get_property(mpv_, "current-tracks/video/id", MPV_FORMAT_INT64, &track) >= 0;
          UpdateBuffering();
        }
        break;
      case MPV_EVENT_VIDEO_RECONFIG:
        if (started_) ReadNativeSize();
        break;
      case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<mpv_event_end_file*>(ev->data);
        if (!open_ || end->playlist_entry_id != entry_) break;
        started_ = false;
        if (end->reason == MPV_END_FILE_REASON_ERROR && !loaded_) {
          open_ = false;
          UpdateBuffering();
          emit NotFound();
        } else if (end->reason == MPV_END_FILE_REASON_EOF || end->reason == MPV_END_FILE_REASON_ERROR) {
          if (!eof_) {
            eof_ = true;
            emit Finished();
          }
        }
        break;
      }
      case MPV_EVENT_PROPERTY_CHANGE: {
        if (!started_) break;
        const auto* p = static_cast<mpv_event_property*>(ev->data);
        const bool has = p->format != MPV_FORMAT_NONE && p->data;
        switch (ev->reply_userdata) {
          case kDuration:
            ReadDuration();
            break;
          case kEofReached: {
            if (!loaded_) break;
            const bool eof = has && *static_cast<int*>(p->data);
            if (eof && !eof_) {
              eof_ = true;
              emit Finished();
            } else if (!eof) {
              eof_ = false;
            }
            break;
          }
          case kPausedForCache: {
            waitingForCache_ = has && *static_cast<int*>(p->data);
            UpdateBuffering();
            break;
          }
        }
        break;
      }
      case MPV_EVENT_SHUTDOWN:
        return;
      default:
        break;
    }
  }
}

void MpvVideo::ReadDuration() {
  double d = 0;
  if (mpv_get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &d) < 0 || !(d > 0)) return;
  if (d != duration_) {
    duration_ = d;
    emit DurationChanged(d);
  }
}

void MpvVideo::ReadNativeSize() {
  int64_t w = 0, h = 0;
  if (mpv_get_property(mpv_, "width", MPV_FORMAT_INT64, &w) < 0) w = 0;
  if (mpv_get_property(mpv_, "height", MPV_FORMAT_INT64, &h) < 0) h = 0;
  const QSize s(static_cast<int>(w), static_cast<int>(h));
  if (s != nativeSize_) {
    nativeSize_ = s;
    emit NativeSizeChanged(s);
  }
}

void MpvVideo::Poll() {
  if (!mpv_ || !open_ || !loaded_) return;
  int eof = 0;
  if (mpv_get_property(mpv_, "eof-reached", MPV_FORMAT_FLAG, &eof) < 0) return;
  if (eof && !eof_) {
    eof_ = true;
    emit Finished();
  } else if (!eof) {
    eof_ = false;
  }
}

void MpvVideo::OnRendered(const QImage& image, uint64_t generation) {
  if (generation != generation_ || !open_) return;
  image_ = image;
  if (!hasFrame_) {
    hasFrame_ = true;
    UpdateBuffering();
  }
  emit FrameReady();
}

VideoRenderer MpvVideo::RendererInUse() const { return renderer_ ? renderer_->Kind() : VideoRenderer::None; }

const QImage& MpvVideo::Frame(QSize size) {
  if (renderer_ && open_ && !size.isEmpty() && size != wanted_) {
    wanted_ = size;
    renderer_->SetTarget(size, true, generation_);
  }
  return image_;
}

QRect FitRect(QSize native, const QRect& stage) {
  if (native.isEmpty() || stage.isEmpty()) return QRect();
  const QSize size = native.scaled(stage.size(), Qt::KeepAspectRatio);
  QRect r(QPoint(0, 0), size);
  r.moveCenter(stage.center());
  return r;
}

void DrawVideo(QPainter& painter, MpvVideo& video, const QRect& target, qreal devicePixelRatio) {
  if (target.isEmpty()) return;
  const QSize device(qRound(target.width() * devicePixelRatio), qRound(target.height() * devicePixelRatio));
  const QImage& frame = video.Frame(device);
  if (!frame.isNull()) painter.drawImage(QRectF(target), frame);
}

}  // namespace flash
