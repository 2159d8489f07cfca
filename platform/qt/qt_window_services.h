// Window services on the Qt event loop: posted messages travel as one QEvent
// subtype; window timer ids map to Qt timers.
#pragma once

#include <QEvent>
#include <QObject>

#include <map>

#include "platform/window_services.h"

namespace platform {

class QtWindowServices : public QObject, public WindowServices {
 public:
  explicit QtWindowServices(QObject* parent = nullptr) : QObject(parent) {}
  ~QtWindowServices() override;

  void SetHandler(MessageHandler* handler) override { handler_ = handler; }
  void Post(uint32_t msg, MessageParam wParam, MessageParam lParam) override;
  void SetTimer(int id, int periodMs) override;
  void KillTimer(int id) override;

  // The event type that carries a window message.
  static QEvent::Type MessageEventType();

 protected:
  bool event(QEvent* e) override;
  void timerEvent(QTimerEvent* e) override;

 private:
  MessageHandler* handler_ = nullptr;
  std::map<int, int> qtTimerOf_;   // window timer id -> Qt timer id
  std::map<int, int> windowIdOf_;  // Qt timer id -> window timer id
};

}  // namespace platform
