// The Flash control stand-in: a child widget with the control's operations.
// LoadMovie picks one of the built-in movies by the file name it is given
// (and only when that file exists); CallFunction hands an invoke request to
// the movie's registered functions; the movie talks back through FSCommand.
#pragma once

#include <QString>
#include <QWidget>

namespace flash {

class Movie;

class FlashControl : public QWidget {
  Q_OBJECT
 public:
  // controlId: 2000 player view, 59143 preview pane, 20002 monitor
  // indicator, 1021 capture popup and tutorial dialog.
  explicit FlashControl(QWidget* parent = nullptr, int controlId = 0);
  ~FlashControl() override;

  int ControlId() const { return controlId_; }

  // Major version in the upper 16 bits, as the installed player reports it.
  virtual int FlashVersion() const;
  // layer is always 0; path a local file. An unknown or missing file leaves
  // the control empty.
  virtual void LoadMovie(int layer, const QString& path);
  // The response is never read by the hosts; an empty string here.
  virtual QString CallFunction(const QString& request);
  virtual void SetScaleMode(int mode);
  virtual void SetAllowScriptAccess(const QString& access);
  virtual void GotoFrame(int frame);
  virtual void Play();
  virtual void Stop();

  // The loaded movie, or nullptr while the control is empty (tests look in).
  Movie* CurrentMovie() const;
  int ScaleMode() const;
  QString AllowScriptAccess() const;
  // The installed player always has a window here; the start-up check asks.
  virtual bool HasWindow() const { return true; }

 signals:
  void FSCommand(const QString& command, const QString& args);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int controlId_;
  struct Impl;
  Impl* impl_;
};

}  // namespace flash
