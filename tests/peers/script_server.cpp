#include "tests/peers/script_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testpeers {

ScriptSocket::~ScriptSocket() { Close(); }

void ScriptSocket::Close() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    fd_ = -1;
  }
}

bool ScriptSocket::Receive(int timeout_ms) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return false;
  char buf[65536];
  ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
  if (n <= 0) return false;
  in_.append(buf, static_cast<size_t>(n));
  return true;
}

bool ScriptSocket::SendAll(const std::string& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

bool ScriptSocket::WaitClosed(int timeout_ms) {
  for (;;) {
    if (fd_ < 0) return true;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[65536];
    if (::recv(fd_, buf, sizeof buf, 0) <= 0) return true;
  }
}

std::string ScriptedS1() {
  std::string s1 = std::string("\x01\x02\x03\x04", 4) + std::string(4, '\0');
  for (size_t i = 8; i < kHandshakeSize; ++i) s1.push_back(static_cast<char>(i * 7));
  return s1;
}

ScriptListener::ScriptListener() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::listen(listen_fd_, 4) == 0) {
    socklen_t len = sizeof a;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
}

ScriptListener::~ScriptListener() {
  Join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void ScriptListener::RunOnClient(std::function<void(int fd)> script) {
  thread_ = std::thread([this, script = std::move(script)] {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) return;
    int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) return;
    script(fd);
  });
}

void ScriptListener::RunOnEachClient(std::function<void(int fd)> script) {
  thread_ = std::thread([this, script = std::move(script)] {
    while (!stop_) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int fd = ::accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) continue;
      ++clients_;
      script(fd);
    }
  });
}

void ScriptListener::Stop() {
  stop_ = true;
  Join();
}

void ScriptListener::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace testpeers
