#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "platform/alt_signal_stack.h"

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

// Waits are cut into steps this long, so that a stop is seen soon.
constexpr int kStopCheckMs = 50;

using Clock = std::chrono::steady_clock;

// Milliseconds to wait now: a step, or less when the deadline is nearer;
// -1 when the deadline has passed or a stop was asked for.
int NextWait(Clock::time_point deadline, bool limited, const std::atomic<bool>* stop) {
  if (stop != nullptr && stop->load()) return -1;
  if (!limited) return kStopCheckMs;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return -1;
  return left < kStopCheckMs ? static_cast<int>(left) : kStopCheckMs;
}

// A name lookup cannot be interrupted, so it runs on a thread of its own
// that the caller can leave behind; the thread finishes on its own.
bool ResolveStoppable(const char* host, int port, sockaddr_in* out, Clock::time_point deadline,
                      bool limited, const std::atomic<bool>* stop) {
  std::memset(out, 0, sizeof *out);
  out->sin_family = AF_INET;
  out->sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, host, &out->sin_addr) == 1) return true;
  if (!limited && stop == nullptr) return Resolve(host, port, out);
  struct Lookup {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
    bool found = false;
    sockaddr_in addr{};
  };
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, name = std::string(host), port] {
      const AltSignalStack crashStack;
      sockaddr_in addr;
      const bool found = Resolve(name.c_str(), port, &addr);
      std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->found = found;
      lookup->addr = addr;
      lookup->done = true;
      lookup->done_cv.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->done) {
    const int wait = NextWait(deadline, limited, stop);
    if (wait < 0) return false;
    lookup->done_cv.wait_for(lock, std::chrono::milliseconds(wait));
  }
  if (!lookup->found) return false;
  *out = lookup->addr;
  return true;
}

}  // namespace

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::Connect(const char* host, int port, int timeout_ms,
                        const std::atomic<bool>* stop) {
  Close();
  if (host == nullptr || port <= 0 || port > 65535) return false;
  const bool limited = timeout_ms > 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  sockaddr_in addr;
  if (!ResolveStoppable(host, port, &addr, deadline, limited, stop)) return false;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fd_ = fd;
    closing_ = false;
  }
  int dummy;
  if (!Enter(&dummy)) return false;
  bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
    for (;;) {
      const int wait = NextWait(deadline, limited, stop);
      if (wait < 0) break;
      pollfd p{fd, POLLOUT, 0};
      const int rc = ::poll(&p, 1, wait);
      if (rc < 0 && errno != EINTR) break;
      if (rc > 0) {
        int error = 0;
        socklen_t len = sizeof error;
        connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
        break;
      }
    }
  }
  // Blocking from here on, as the other calls expect.
  if (connected) {
    const int flags = ::fcntl(fd, F_GETFL);
    connected = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
  }
  Leave();
  if (!connected) {
    Close();
    return false;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return IsOpen();
}

bool TcpSocket::Connect(const char* host, int port) { return Connect(host, port, 0, nullptr); }

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
