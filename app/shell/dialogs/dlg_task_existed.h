// The notice shown instead of adding an address that is in the list already:
// the user may download it again or look at the existing task.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

#include "platform/window_services.h"

class QPushButton;

class CDlgTaskExisted : public QDialog {
  Q_OBJECT
 public:
  // `frame` receives the posted answer; `closeDelayMs` is how long the
  // dialog stays after a button, so the frame's reaction can be seen.
  CDlgTaskExisted(platform::WindowServices* frame, const QString& url, int32_t taskIndex,
                  QWidget* parent = nullptr, int closeDelayMs = 1000);

  QPushButton* downloadAgainButton() const { return again_; }
  QPushButton* checkButton() const { return check_; }

 private:
  void Answer(uint32_t message);

  platform::WindowServices* frame_;
  int32_t taskIndex_;
  int closeDelayMs_;
  QPushButton* again_;
  QPushButton* check_;
};
