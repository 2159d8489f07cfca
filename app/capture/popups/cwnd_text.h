// A one-line label without a background of its own: its parent paints the
// part of its picture that lies under the label, then the text goes on top,
// vertically centred and cut with an ellipsis.
#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

// The window a CWndText sits on.
class TextBackdrop {
 public:
  virtual ~TextBackdrop() = default;
  // Paints what lies under `label`, in the label's coordinates.
  virtual void PaintBackdrop(QPainter& painter, const QWidget* label) = 0;
};

class CWndText : public QWidget {
  Q_OBJECT
 public:
  CWndText(TextBackdrop* backdrop, QWidget* parent);

  QString Text() const { return text_; }
  // Redraws at once.
  void SetText(const QString& text);
  void SetTextColor(const QColor& color);
  // The text as it fits now (with "..." when cut).
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  TextBackdrop* backdrop_;
  QString text_;
  QColor color_ = QColor(0x2b, 0x2f, 0x33);
};
