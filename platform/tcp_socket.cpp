#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool Resolve(const char* host, int port, sockaddr_in* out) {
  std::memset(out, 0, sizeof *out);
  out->sin_family = AF_INET;
  out->sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, host, &out->sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return false;
  out->sin_addr = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
  freeaddrinfo(list);
  return true;
}

}  // namespace

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::Connect(const char* host, int port) {
  Close();
  if (host == nullptr || port <= 0 || port > 65535) return false;
  sockaddr_in addr;
  if (!Resolve(host, port, &addr)) return false;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fd_ = fd;
    closing_ = false;
  }
  int dummy;
  if (!Enter(&dummy)) return false;
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (rc != 0 && errno == EINTR);
  Leave();
  if (rc != 0) {
    Close();
    return false;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return IsOpen();
}

bool TcpSocket::Adopt(int fd) {
  Close();
  if (fd < 0) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  fd_ = fd;
  closing_ = false;
  return true;
}

bool TcpSocket::SetReceiveTimeout(int ms) {
  int fd;
  if (!Enter(&fd)) return false;
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  bool ok = ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
  Leave();
  return ok;
}

long TcpSocket::Receive(void* buffer, size_t size) {
  int fd;
  if (!Enter(&fd)) return -1;
  ssize_t n;
  do {
    n = ::recv(fd, buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  Leave();
  // A close from another thread shuts the socket down, which ends the
  // receive as if the peer had closed; report it as the failure it is.
  if (!IsOpen()) return -1;
  return n < 0 ? -1 : static_cast<long>(n);
}

long TcpSocket::Send(const void* buffer, size_t size) {
  int fd;
  if (!Enter(&fd)) return -1;
  ssize_t n;
  do {
    n = ::send(fd, buffer, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  Leave();
  return n < 0 ? -1 : static_cast<long>(n);
}

int TcpSocket::WaitReadable(int timeout_ms) {
  int fd;
  if (!Enter(&fd)) return -1;
  pollfd p{fd, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&p, 1, timeout_ms);
  } while (rc < 0 && errno == EINTR);
  Leave();
  if (!IsOpen() || rc < 0) return -1;
  return rc > 0 ? 1 : 0;
}

bool TcpSocket::PeerAddress(char* out, size_t size) {
  int fd;
  if (size < INET_ADDRSTRLEN || !Enter(&fd)) return false;
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  bool ok = ::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0 &&
            addr.sin_family == AF_INET &&
            inet_ntop(AF_INET, &addr.sin_addr, out, static_cast<socklen_t>(size)) != nullptr;
  Leave();
  return ok;
}

bool TcpSocket::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fd_ >= 0 && !closing_;
}

void TcpSocket::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0 || closing_) return;
  // Shutting down wakes a receive blocked in another thread; the descriptor
  // itself is released by the last call still using it, so its number cannot
  // be handed to another file while that call runs.
  ::shutdown(fd_, SHUT_RDWR);
  if (busy_ == 0) {
    ::close(fd_);
    fd_ = -1;
  } else {
    closing_ = true;
  }
}

bool TcpSocket::Enter(int* fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0 || closing_) return false;
  ++busy_;
  *fd = fd_;
  return true;
}

void TcpSocket::Leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--busy_ == 0 && closing_) {
    ::close(fd_);
    fd_ = -1;
    closing_ = false;
  }
}

}  // namespace platform
