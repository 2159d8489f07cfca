#include "flash/mpv_video.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QMetaObject>
#include <QPainter>
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

enum PropertyId : uint64_t { kDuration = 1, kEofReached, kPausedForCache };

}  // namespace

void SetAudioOutput(const QString& name) { AudioOutput() = name; }

namespace {

// A render target whose rows start on 64-byte boundaries, as libmpv's
// software renderer prefers.
struct Buffer {
  explicit Buffer(QSize s) : size(s), stride((static_cast<size_t>(s.width()) * 4 + 63) / 64 * 64) {
    data = static_cast<uchar*>(std::aligned_alloc(64, stride * static_cast<size_t>(s.height())));
  }
  ~Buffer() { std::free(data); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  QSize size;
  size_t stride;
  uchar* data = nullptr;
};

}  // namespace

// Pulls frames from libmpv as they come and renders them at the size the
// control wants; hands each picture to the UI thread.
class MpvVideo::Renderer {
 public:
  Renderer(mpv_render_context* context, MpvVideo* owner) : context_(context), owner_(owner) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Renderer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

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
      target_ = size;
      show_ = show;
      generation_ = generation;
      redraw_ = true;
    }
    wake_.notify_one();
  }

 private:
  void Run() {
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
        size = target_;
        show = show_;
        generation = generation_;
      }
      const uint64_t flags = update ? mpv_render_context_update(context_) : 0;
      const bool frame = flags & MPV_RENDER_UPDATE_FRAME;
      // A redraw repeats the last frame, which must belong to this stream.
      if (!frame && !(redraw && show && frameGeneration_ == generation)) continue;
      if (!show || size.isEmpty()) {
        // Keep libmpv's queue moving; nothing is shown.
        int skip = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(context_, params);
        continue;
      }
      if (!buffer_ || buffer_->size != size) {
        buffer_ = std::make_unique<Buffer>(size);
        if (!buffer_->data) {
          buffer_.reset();
          continue;
        }
      }
      int wh[2] = {size.width(), size.height()};
      size_t stride = buffer_->stride;
      mpv_render_param params[] = {
          {MPV_RENDER_PARAM_SW_SIZE, wh},
          {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("rgb0")},
          {MPV_RENDER_PARAM_SW_STRIDE, &stride},
          {MPV_RENDER_PARAM_SW_POINTER, buffer_->data},
          {MPV_RENDER_PARAM_INVALID, nullptr},
      };
      if (mpv_render_context_render(context_, params) < 0) continue;
      if (frame) frameGeneration_ = generation;
      const QImage image = QImage(buffer_->data, size.width(), size.height(),
                                  static_cast<qsizetype>(buffer_->stride), QImage::Format_RGBX8888)
                               .copy();
      // Dropped with the owner if it is gone by then.
      MpvVideo* owner = owner_;
      QMetaObject::invokeMethod(
          owner, [owner, image, generation] { owner->OnRendered(image, generation); }, Qt::QueuedConnection);
    }
  }

  mpv_render_context* context_;
  MpvVideo* owner_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool update_ = false;
  bool redraw_ = false;
  bool stop_ = false;
  bool show_ = false;
  QSize target_;
  uint64_t generation_ = 0;
  uint64_t frameGeneration_ = ~uint64_t(0);  // render thread only
  std::unique_ptr<Buffer> buffer_;
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
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (mpv_render_context_create(&render_, mpv_, params) < 0) {
    render_ = nullptr;
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return false;
  }
  mpv_observe_property(mpv_, kDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mpv_, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
  renderer_ = std::make_unique<Renderer>(render_, this);
  mpv_set_wakeup_callback(mpv_, &MpvVideo::OnWakeup, this);
  mpv_render_context_set_update_callback(render_, &MpvVideo::OnRenderUpdate, this);
  return true;
}

void MpvVideo::Destroy() {
  if (render_) {
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    renderer_.reset();
    mpv_render_context_free(render_);
    render_ = nullptr;
  }
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

void MpvVideo::OnRenderUpdate(void* self) { static_cast<MpvVideo*>(self)->renderer_->Update(); }

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
  image_ = QImage();
  ++generation_;
  // Until the control asks for a size, frames are rendered small, so that
  // playback never waits on a control that is not painted.
  renderer_->SetTarget(wanted_.isEmpty() ? QSize(320, 240) : wanted_, true, generation_);
  if (!buffering_) {
    buffering_ = true;
    emit BufferingChanged(true);
  }
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
  if (buffering_) {
    buffering_ = false;
    emit BufferingChanged(false);
  }
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
          if (buffering_) {
            buffering_ = false;
            emit BufferingChanged(false);
          }
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
            const bool waiting = has && *static_cast<int*>(p->data);
            const bool buffering = waiting || !hasFrame_;
            if (buffering != buffering_) {
              buffering_ = buffering;
              emit BufferingChanged(buffering);
            }
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
    if (buffering_) {
      buffering_ = false;
      emit BufferingChanged(false);
    }
  }
  emit FrameReady();
}

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
