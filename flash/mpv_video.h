// Video playback for the built-in movies, on libmpv. The player is created
// when a movie first plays, so a program without video on screen never
// starts it. Frames are rendered on a thread of their own (so the UI thread
// may call libmpv synchronously without ever holding up its video output)
// into an image the control paints: through OpenGL when the display offers
// it, in software otherwise. Events and frames reach the UI thread through
// queued calls.
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>

class QPainter;
struct mpv_handle;

namespace flash {

// The audio output libmpv uses ("null" in tests). Empty: the default
// devices, falling back to silence when there is none. Applies to players
// created afterwards.
void SetAudioOutput(const QString& name);

enum class VideoRenderer { None, Software, OpenGL };

// How players created afterwards draw. Automatic: OpenGL where the display
// offers it in hardware, software otherwise (on a CPU rasteriser such as
// llvmpipe libmpv's shaders cost several times the software renderer).
// OpenGL: wherever a context can be made. Both fall back to software when
// OpenGL fails. TAMBOREL_VIDEO_RENDERER ("software", "opengl") sets the
// starting choice; Automatic otherwise.
enum class RendererChoice { Automatic, Software, OpenGL };
void SetRendererChoice(RendererChoice choice);

class MpvVideo : public QObject {
  Q_OBJECT
 public:
  explicit MpvVideo(QObject* parent = nullptr);
  ~MpvVideo() override;

  // Starts the file or address (playing unless `paused`); replaces the one
  // open before. False when libmpv could not be started.
  bool Open(const QString& pathOrAddress, bool paused = false);
  void Close();
  bool IsOpen() const { return open_; }
  bool IsCreated() const { return mpv_ != nullptr; }

  void SetPaused(bool paused);
  void Seek(double seconds);
  void SetVolume(int percent);
  void SetMuted(bool muted);

  // Volume and mute are kept until the player exists.
  int Volume() const { return volume_; }
  bool Muted() const { return muted_; }

  double Position() const;
  // Checks for the end of the stream; a steady caller (the movie's frame
  // clock) makes sure an end is never missed when values repeat.
  void Poll();
  double Duration() const { return duration_; }
  // Seconds of media downloaded beyond the position (0 for local files,
  // which need no buffer).
  double BufferedAhead() const;
  QSize NativeSize() const { return nativeSize_; }
  bool Buffering() const { return buffering_; }
  bool HasFrame() const { return hasFrame_; }
  // How frames are drawn; None until the player exists.
  VideoRenderer RendererInUse() const;

  // The latest picture. `size` (device pixels) is the size wanted: a
  // picture of another size is rendered again and arrives with FrameReady.
  const QImage& Frame(QSize size);

 signals:
  void Loaded();
  void NotFound();
  void Finished();
  void DurationChanged(double seconds);
  void NativeSizeChanged(QSize size);
  void BufferingChanged(bool buffering);
  void FrameReady();

 private:
  bool Create();
  void Destroy();
  void DrainEvents();
  void ReadDuration();
  void ReadNativeSize();
  void UpdateBuffering();
  void OnRendered(const QImage& image, uint64_t generation);
  void SetOption(const char* name, const char* value);
  void Command(std::initializer_list<const char*> args);

  static void OnWakeup(void* self);

  mpv_handle* mpv_ = nullptr;
  std::atomic<bool> wakeupQueued_{false};
  bool open_ = false;
  bool loaded_ = false;
  int64_t entry_ = -1;     // playlist entry of the open file
  bool started_ = false;  // mpv's current file is the open one
  double duration_ = 0;
  QSize nativeSize_;
  bool buffering_ = false;
  bool eof_ = false;
  int volume_ = 100;
  bool muted_ = false;
  bool hasFrame_ = false;
  bool hasVideo_ = true;          // until the loaded file says otherwise
  bool waitingForCache_ = false;  // libmpv holds play until the cache fills
  uint64_t generation_ = 0;  // frames of an earlier stream are dropped
  QSize wanted_;
  class Renderer;
  std::unique_ptr<Renderer> renderer_;
  QImage image_;
};

// The largest rectangle of `native`'s shape centred in `stage`.
QRect FitRect(QSize native, const QRect& stage);
// Paints the video's current picture into `target` (logical pixels).
void DrawVideo(QPainter& painter, MpvVideo& video, const QRect& target, qreal devicePixelRatio);

}  // namespace flash
