#include "platform/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

SocketHandle SocketCreateTcp() {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return s < 0 ? kNoSocket : s;
}

bool SocketClose(SocketHandle s) {
  // Linux releases the descriptor even when close reports EINTR; retrying
  // could close a descriptor another thread has just been given.
  return ::close(s) == 0 || errno == EINTR;
}

void SocketShutdown(SocketHandle s) {
  if (s != kNoSocket) ::shutdown(s, SHUT_RDWR);
}

bool ResolveIPv4(const std::string& host, uint32_t* address) {
  if (host.empty()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
  bool found = false;
  for (addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
      *address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
      found = true;
      break;
    }
  }
  ::freeaddrinfo(list);
  return found;
}

std::string IPv4Text(uint32_t address) {
  const auto* b = reinterpret_cast<const unsigned char*>(&address);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
  return text;
}

bool SocketConnect(SocketHandle s, uint32_t address, int port) {
  if (port <= 0 || port > 65535) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = address;
  int r;
  do {
    r = ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

int64_t SocketSend(SocketHandle s, const void* data, size_t size) {
  ssize_t n;
  do {
    n = ::send(s, data, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n;
}

int64_t SocketReceive(SocketHandle s, void* data, size_t size) {
  ssize_t n;
  do {
    n = ::recv(s, data, size, 0);
  } while (n < 0 && errno == EINTR);
  return n;
}

int SocketWaitReadable(SocketHandle s, int timeout_ms) {
  pollfd p{s, POLLIN, 0};
  int r = ::poll(&p, 1, timeout_ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  return r > 0 ? 1 : 0;
}

int64_t SocketBytesWaiting(SocketHandle s) {
  int n = 0;
  if (::ioctl(s, FIONREAD, &n) != 0) return -1;
  return n;
}

bool SocketSetReceiveTimeout(SocketHandle s, int timeout_ms) {
  timeval tv{};
  tv.tv_sec = timeout_ms / 1000;
  tv.tv_usec = (timeout_ms % 1000) * 1000;
  return ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

}  // namespace platform
