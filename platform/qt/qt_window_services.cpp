#include "platform/qt/qt_window_services.h"

#include <QCoreApplication>
#include <QTimerEvent>

namespace platform {

namespace {

class WindowMessageEvent : public QEvent {
 public:
  WindowMessageEvent(uint32_t msg, MessageParam w, MessageParam l)
      : QEvent(QtWindowServices::MessageEventType()), msg(msg), wParam(w), lParam(l) {}
  uint32_t msg;
  MessageParam wParam, lParam;
};

}  // namespace

QEvent::Type QtWindowServices::MessageEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QtWindowServices::~QtWindowServices() {
  for (auto& [id, qtId] : qtTimerOf_) killTimer(qtId);
}

void QtWindowServices::Post(uint32_t msg, MessageParam wParam, MessageParam lParam) {
  // postEvent is thread-safe and takes ownership of the event.
  QCoreApplication::postEvent(this, new WindowMessageEvent(msg, wParam, lParam));
}

void QtWindowServices::SetTimer(int id, int periodMs) {
  KillTimer(id);
  int qtId = startTimer(periodMs > 0 ? periodMs : 1, Qt::PreciseTimer);
  if (qtId == 0) return;
  qtTimerOf_[id] = qtId;
  windowIdOf_[qtId] = id;
}

void QtWindowServices::KillTimer(int id) {
  auto it = qtTimerOf_.find(id);
  if (it == qtTimerOf_.end()) return;
  killTimer(it->second);
  windowIdOf_.erase(it->second);
  qtTimerOf_.erase(it);
}

bool QtWindowServices::event(QEvent* e) {
  if (e->type() == MessageEventType()) {
    auto* m = static_cast<WindowMessageEvent*>(e);
    if (handler_) handler_->OnMessage(m->msg, m->wParam, m->lParam);
    return true;
  }
  return QObject::event(e);
}

void QtWindowServices::timerEvent(QTimerEvent* e) {
  auto it = windowIdOf_.find(e->timerId());
  // A tick already queued for a timer that was killed meanwhile is dropped.
  if (it != windowIdOf_.end() && handler_) handler_->OnTimer(it->second);
}

}  // namespace platform
