#include "crashreport/child_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace faultwick {

pid_t StartProgram(const char* const argv[], int stdin_fd) {
  if (!argv || !argv[0] || ::access(argv[0], X_OK) != 0) return -1;
  long pid = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
  if (pid < 0) return -1;
  if (pid == 0) {
    // The crash handler runs with the fatal signals blocked; the new
    // program must not inherit that.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // A crashed program without standard input gets its pipe as descriptor
    // 0 itself; it is close-on-exec like any other, so keep it open then.
    if (stdin_fd == 0)
      ::fcntl(0, F_SETFD, 0);
    else if (stdin_fd > 0)
      ::dup2(stdin_fd, 0);
    // The crashed program's files and sockets stay with it.
    if (::syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
      for (int fd = 3; fd < 4096; ++fd) ::close(fd);
    ::execve(argv[0], const_cast<char* const*>(argv), environ);
    ::syscall(SYS_exit_group, 127);
  }
  return static_cast<pid_t>(pid);
}

int WaitProgram(pid_t pid) {
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(pid, &status, 0);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace faultwick
