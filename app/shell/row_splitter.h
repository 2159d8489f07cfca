// A column of two panes whose lower pane keeps its height when the window is
// resized; the upper pane takes the change.
#pragma once

#include <QSplitter>

class RowSplitter : public QSplitter {
  Q_OBJECT
 public:
  explicit RowSplitter(QWidget* parent = nullptr) : QSplitter(Qt::Vertical, parent) {}
  void SetRememberedLower(int height) { remembered_ = height; }
  int RememberedLower() const { return remembered_; }
  // Gives the lower pane its remembered height and the upper the rest.
  void ApplyRows();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  int remembered_ = 0;
  bool laidOut_ = false;  // the sizes are ours, not the splitter's first guess
};
