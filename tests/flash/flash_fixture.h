// What the control's tests share: one offscreen application, a recorder of
// the movie's commands, and waiting on the event loop with a generous bound.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

#include "flash/flash_control.h"
#include "flash/mpv_video.h"


// Readable failure messages.
inline std::ostream& operator<<(std::ostream& os, const QString& s) { return os << s.toStdString(); }

namespace flashtest {

// Made once and never destroyed: Qt's teardown at exit outlives its plugins.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_flash";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    flash::SetAudioOutput(QStringLiteral("null"));
    return a;
  }();
  return *app;
}

// Wide enough for a loaded machine; nothing asserts on speed.
constexpr int kWaitMs = 60000;

// Runs the event loop until `done` holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& done, int ms = kWaitMs) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Lets the event loop run for a while (for "nothing more arrives").
inline void Spin(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The commands a control sent, in order.
class CommandLog {
 public:
  explicit CommandLog(flash::FlashControl& control) {
    QObject::connect(&control, &flash::FlashControl::FSCommand, &control,
                     [this](const QString& c, const QString& a) { entries_.emplace_back(c, a); });
  }
  const std::vector<std::pair<QString, QString>>& entries() const { return entries_; }
  int Count(const QString& command) const {
    int n = 0;
    for (const auto& e : entries_) n += e.first == command;
    return n;
  }
  int IndexOf(const QString& command) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].first == command) return static_cast<int>(i);
    return -1;
  }
  QString ArgOf(const QString& command) const {
    for (const auto& e : entries_)
      if (e.first == command) return e.second;
    return QString();
  }
  std::vector<double> Numbers(const QString& command) const {
    std::vector<double> v;
    for (const auto& e : entries_)
      if (e.first == command) v.push_back(e.second.toDouble());
    return v;
  }
  // Commands other than the steady "playtime", for failure messages.
  QString Summary() const {
    QStringList parts;
    for (const auto& e : entries_)
      if (e.first != QLatin1String("playtime")) parts << e.first + QLatin1Char('(') + e.second + QLatin1Char(')');
    return parts.join(QLatin1Char(' '));
  }
  void Clear() { entries_.clear(); }

 private:
  std::vector<std::pair<QString, QString>> entries_;
};

}  // namespace flashtest
