// The control bar along the bottom of the player view: play/pause, stop,
// backward, forward, mute, the seek bar, the volume bar and the time text.
// It sends the playback requests to the movie and tells the view whenever
// its playing state may have changed.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <string>

#include "player/player_settings.h"
#include "ui/bmp_slider.h"
#include "ui/picture_button.h"

class CWndPlayerControl : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = 47;
  // Button and control ids of the bar's template.
  enum ControlId {
    IDC_STOP = 1002, IDC_PLAY = 1003, IDC_BACKWARD = 1004, IDC_FORWARD = 1005, IDC_MUTE = 1006,
    IDC_SEEK = 1008, IDC_VOLUME = 1009, IDC_TIME = 1013,
  };

  // Calls a movie function with an invoke request; false when the control
  // could not take the call.
  using MovieCall = std::function<bool(const std::string& request)>;

  // The volume bar starts at the "Sound" setting; settings must outlive the bar.
  CWndPlayerControl(PlayerSettings* settings, MovieCall call, std::function<bool()> viewHasMovie,
                    QWidget* parent = nullptr);
  // Hands volume and mute state back to the settings.
  ~CWndPlayerControl() override;

  // Sends the saved volume to the movie and mutes when the settings say so.
  void ApplySettings();

  bool Load(const QString& path);
  void Close();
  void PlayPause();
  void Stop();
  void Backward();
  void Forward();
  void Mute();
  // "duration", "playtime" and "playfinish" from the movie.
  void MovieCommand(const QString& name, const QString& argument);
  void SetSize(int percent);
  void RedrawTime();

  bool IsPlaying() const { return playing_; }
  bool IsMuted() const { return muted_; }
  int32_t PositionMs() const { return positionMs_; }
  int32_t DurationMs() const { return durationMs_; }
  const QString& MoviePath() const { return moviePath_; }
  QString TimeText() const;
  CBmpSlider* SeekBar() const { return seek_; }
  CBmpSlider* VolumeBar() const { return volume_; }
  CPictureButton* Button(ControlId id) const;
  QRect TimeRect() const { return timeRect_; }

 signals:
  // The playing state may have changed.
  void PlayStateChanged();

 public slots:
  void OnSliderNotify(const SliderNotification& note);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  bool Call(const std::string& request) const;
  bool HasMovie() const { return viewHasMovie_ && viewHasMovie_(); }
  void SetPlaying(bool playing);
  void ShowPlayImage(bool play);
  void SetMuteImage(bool muted);
  bool InSizingCorner(QPoint p) const;
  void SendPosition();

  PlayerSettings* settings_;
  MovieCall call_;
  std::function<bool()> viewHasMovie_;
  QString moviePath_;
  bool playing_ = false;
  bool muted_ = false;
  int32_t durationMs_ = 0;
  int32_t positionMs_ = 0;

  CPictureButton* play_;
  CPictureButton* stop_;
  CPictureButton* backward_;
  CPictureButton* forward_;
  CPictureButton* mute_;
  CBmpSlider* seek_;
  CBmpSlider* volume_;
  QRect timeRect_;
  QFont font_;
};
