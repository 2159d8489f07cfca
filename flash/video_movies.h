// The main program's two video movies: the preview pane's (plays a finished
// file at once, fitted into the pane) and the capture popup's link movie
// (plays a captured address muted in the popup's small frame).
#pragma once

#include <QTimer>
#include <memory>

#include "flash/movie.h"

namespace flash {

class MpvVideo;

class FittedVideoMovie : public Movie {
  Q_OBJECT
 public:
  explicit FittedVideoMovie(FlashControl* control);
  ~FittedVideoMovie() override;
  void Unload() override;
  void Paint(QPainter& painter) override;
  MpvVideo* Video() const { return video_.get(); }

 protected:
  // Creates the video object on first use.
  MpvVideo& video();
  // Lets a movie connect to the video object once it exists.
  virtual void VideoCreated(MpvVideo&) {}
  void Close();

 private:
  std::unique_ptr<MpvVideo> video_;
};

class PreviewMovie : public FittedVideoMovie {
  Q_OBJECT
 public:
  explicit PreviewMovie(FlashControl* control);
  QString Kind() const override { return QStringLiteral("preview"); }
  // The task the shown file belongs to, -1 while closed.
  int TaskIndex() const { return taskIndex_; }

 private:
  int taskIndex_ = -1;
};

class LinkMovie : public FittedVideoMovie {
  Q_OBJECT
 public:
  explicit LinkMovie(FlashControl* control);
  QString Kind() const override { return QStringLiteral("link"); }

  static constexpr int kPlayTimeMs = 1000;

 private:
  void VideoCreated(MpvVideo& video) override;
  QTimer playTime_;
};

}  // namespace flash
