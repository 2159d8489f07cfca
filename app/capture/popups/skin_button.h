// A button drawn from a picture file of the Skin folder. The picture holds
// the caption; without the file the caption is drawn on a plain face, so the
// button still works.
#pragma once

#include <QAbstractButton>
#include <QSvgRenderer>

class SkinButton : public QAbstractButton {
  Q_OBJECT
 public:
  // `file` is a name inside programDir + "Skin/"; `size` the picture's size.
  SkinButton(const QString& programDir, const QString& file, const QString& caption, QSize size,
             QWidget* parent = nullptr);

  bool HasPicture() const { return picture_.isValid(); }
  QSize sizeHint() const override { return size_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QSvgRenderer picture_;
  QSize size_;
};
