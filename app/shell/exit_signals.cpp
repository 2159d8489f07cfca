#include "app/shell/exit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

int ExitSignals::writeFd_ = -1;

ExitSignals::ExitSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
  writeFd_ = fds_[0];
  notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char buf[16];
    while (::read(fds_[1], buf, sizeof buf) > 0) {
    }
    if (onSignal_) onSignal_();
  });
  struct sigaction sa {};
  sa.sa_handler = &ExitSignals::Handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &sa, nullptr);
}

ExitSignals::~ExitSignals() {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &sa, nullptr);
  writeFd_ = -1;
  for (int fd : fds_)
    if (fd >= 0) ::close(fd);
}

void ExitSignals::Handler(int) {
  // Only async-signal-safe work here: one byte into the pipe.
  const int fd = writeFd_;
  if (fd >= 0) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
  }
}
