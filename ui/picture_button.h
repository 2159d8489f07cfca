// An owner-drawn push button showing one frame of a picture that holds four
// frames stacked vertically: normal, hover, pressed, disabled.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

class CPictureButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum Frame { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

  explicit CPictureButton(QWidget* parent = nullptr);

  // Takes the picture's width and a quarter of its height as the button's
  // size, resizes to it and redraws.
  void SetImage(const QPixmap& fourFrames);
  int CurrentFrame() const { return frame_; }
  QSize sizeHint() const override { return frameSize_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  void SetFrame(int frame);

  QPixmap image_;
  QSize frameSize_{24, 24};
  int frame_ = Normal;
  bool drewDisabled_ = false;
};
