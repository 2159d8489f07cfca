// SIGTERM, SIGINT and SIGHUP become a call on the user-interface thread, so
// the program leaves through its own exit path and saves what it holds.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class ExitSignals : public QObject {
  Q_OBJECT
 public:
  // `onSignal` runs on the thread that made this object, once per signal.
  explicit ExitSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  ~ExitSignals() override;

 private:
  static void Handler(int signo);
  static int writeFd_;
  int fds_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  std::function<void()> onSignal_;
};
