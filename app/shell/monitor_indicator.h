// The monitor indicator in the toolbar band: shows whether monitoring is on
// and switches it when clicked. It plays the indicator movie in the Flash
// control stand-in when that is built in, else it paints itself.
#pragma once

#include <QWidget>

class MonitorIndicator : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 143;
  static constexpr int kHeight = 50;

  // Null when the control cannot run (the program ends then).
  static MonitorIndicator* Create(QWidget* parent);

  using QWidget::QWidget;
  // on: frame 1 and play; off: frame 2 and stop.
  virtual void SetMonitoring(bool on) = 0;

 signals:
  // The user asked to switch monitoring on (true) or off (false).
  void ToggleRequested(bool on);
};
