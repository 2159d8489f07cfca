#include "tests/peers/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace testpeers {

namespace {

int ConnectLocal(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(uint16_t(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    n -= size_t(sent);
  }
  return true;
}

}  // namespace

bool FaultProxy::Start(int target_port, std::vector<int64_t> cut_after) {
  Stop();
  stopping_ = false;
  target_port_ = target_port;
  cut_after_ = std::move(cut_after);
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listen_fd_ < 0) return false;
  const int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_fd_, 8) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  port_ = ntohs(addr.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void FaultProxy::Stop() {
  stopping_ = true;
  if (accept_thread_.joinable()) accept_thread_.join();
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
  }
  std::lock_guard<std::mutex> lock(relays_mutex_);
  for (std::thread& t : relays_)
    if (t.joinable()) t.join();
  relays_.clear();
}

void FaultProxy::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int client = ::accept(listen_fd_, nullptr, nullptr);
    if (client < 0) continue;
    const int index = accepted_++;
    std::lock_guard<std::mutex> lock(relays_mutex_);
    relays_.emplace_back([this, client, index] { Relay(client, index); });
  }
}

void FaultProxy::Relay(int client, int index) {
  const int server = ConnectLocal(target_port_);
  if (server < 0) {
    ::close(client);
    return;
  }
  const int64_t limit = index < int(cut_after_.size()) ? cut_after_[size_t(index)] : -1;
  int64_t downstream = 0;
  char buf[16384];
  while (!stopping_) {
    pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (::poll(p, 2, 50) <= 0) continue;
    if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::recv(client, buf, sizeof buf, 0);
      if (n <= 0 || !SendAll(server, buf, size_t(n))) break;
    }
    if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      size_t want = sizeof buf;
      if (limit >= 0) want = size_t(std::min<int64_t>(int64_t(want), limit - downstream));
      const ssize_t n = want ? ::recv(server, buf, want, 0) : 0;
      if (n <= 0 || !SendAll(client, buf, size_t(n))) break;
      downstream += n;
      forwarded_ += n;
      if (limit >= 0 && downstream >= limit) {
        ++cuts_;
        break;
      }
    }
  }
  ::close(server);
  ::close(client);
}

}  // namespace testpeers
