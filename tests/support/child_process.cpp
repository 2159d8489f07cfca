#include "tests/support/child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace testsupport {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> p;
  for (const auto& a : argv) p.push_back(const_cast<char*>(a.c_str()));
  p.push_back(nullptr);
  return p;
}

}  // namespace

int FreeTcpPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(0);
  int port = -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ::close(fd);
  return port;
}

bool WaitForPort(int port, int timeout_ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& log_path) {
  if (argv.empty()) return false;
  auto args = ArgvPointers(argv);
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    ::setpgid(0, 0);
    if (!log_path.empty()) {
      int fd = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
      }
    }
    int devnull = ::open("/dev/null", O_RDONLY);
    if (devnull >= 0) ::dup2(devnull, 0);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

int ChildProcess::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ChildProcess::Stop(int grace_ms) {
  if (pid_ <= 0) return -1;
  ::kill(-pid_, SIGTERM);
  ::kill(pid_, SIGTERM);
  int rc = Wait(grace_ms);
  if (rc == -1 && pid_ > 0) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    rc = Wait(5000);
  }
  return rc;
}

int RunCommand(const std::vector<std::string>& argv, std::string* out, int timeout_ms) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return -1;
  auto args = ArgvPointers(argv);
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::dup2(pipefd[1], 1);
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipefd[1]);
  std::string text;
  char buf[4096];
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    pollfd p{pipefd[0], POLLIN, 0};
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    end - std::chrono::steady_clock::now()).count());
    if (left <= 0 || ::poll(&p, 1, left) <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    ssize_t n = ::read(pipefd[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string p = path;
  size_t start = 0;
  while (start <= p.size()) {
    size_t colon = p.find(':', start);
    std::string dir = p.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  // Debian keeps nginx in /usr/sbin, which a plain user's PATH may miss.
  return ::access(("/usr/sbin/" + name).c_str(), X_OK) == 0;
}

}  // namespace testsupport
