#include "tests/peers/rtmpt_script_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace testpeers {

namespace {
constexpr size_t kHandshake = 1536;
}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
  size_t pos = head.find("\r\n");
  while (pos != std::string::npos && pos + 2 < head.size()) {
    size_t end = head.find("\r\n", pos + 2);
    if (end == std::string::npos) break;
    std::string line = head.substr(pos + 2, end - pos - 2);
    size_t colon = line.find(':');
    if (colon != std::string::npos &&
        strcasecmp(line.substr(0, colon).c_str(), name.c_str()) == 0) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      return v == std::string::npos ? std::string() : line.substr(v);
    }
    pos = end;
  }
  return {};
}

RtmptScriptConn::~RtmptScriptConn() { Close(); }

void RtmptScriptConn::Close() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    fd_ = -1;
  }
}

bool RtmptScriptConn::Fill(int timeout_ms) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return false;
  char buf[65536];
  ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
  if (n <= 0) return false;
  in_.append(buf, static_cast<size_t>(n));
  return true;
}

bool RtmptScriptConn::ReadRequest(HttpRequest* out, int timeout_ms) {
  size_t end;
  while ((end = in_.find("\r\n\r\n")) == std::string::npos)
    if (!Fill(timeout_ms)) return false;
  HttpRequest r;
  r.head = in_.substr(0, end + 4);
  size_t sp1 = r.head.find(' '), sp2 = r.head.find(' ', sp1 + 1), eol = r.head.find("\r\n");
  if (sp1 == std::string::npos || sp2 == std::string::npos || sp2 > eol) return false;
  r.method = r.head.substr(0, sp1);
  r.path = r.head.substr(sp1 + 1, sp2 - sp1 - 1);
  r.version = r.head.substr(sp2 + 1, eol - sp2 - 1);
  size_t length =
      static_cast<size_t>(std::strtoul(r.Header("Content-Length").c_str(), nullptr, 10));
  while (in_.size() < end + 4 + length)
    if (!Fill(timeout_ms)) return false;
  r.body = in_.substr(end + 4, length);
  in_.erase(0, end + 4 + length);
  requests_.push_back(r);
  if (out) *out = r;
  return true;
}

bool RtmptScriptConn::SendRaw(const std::string& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

bool RtmptScriptConn::Answer(const std::string& body, const std::string& status) {
  return SendRaw("HTTP/1.1 " + status + "\r\nContent-Type: application/x-fcs\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\nConnection: Keep-Alive\r\n\r\n" + body);
}

bool RtmptScriptConn::WaitClosed(int timeout_ms) {
  for (;;) {
    if (fd_ < 0) return true;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[65536];
    if (::recv(fd_, buf, sizeof buf, 0) <= 0) return true;
  }
}

bool RtmptScriptConn::AcceptTunnel(const std::string& session_id, HttpRequest* c2_connect) {
  HttpRequest r;
  if (!ReadRequest(&r) || r.path != "/open/1" || !Answer(session_id + "\n")) return false;
  if (!ReadRequest(&r) || r.body.size() != 1 + kHandshake) return false;
  c1_ = r.body.substr(1);
  s1_ = std::string("\x01\x02\x03\x04", 4) + std::string(4, '\0');
  for (size_t i = 8; i < kHandshake; ++i) s1_.push_back(static_cast<char>(i * 7));
  if (!Answer(std::string("\x01\x03", 2) + s1_ + c1_)) return false;
  return ReadRequest(c2_connect);
}

RtmptScriptServer::RtmptScriptServer() {
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

RtmptScriptServer::~RtmptScriptServer() {
  Join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void RtmptScriptServer::Run(std::function<void(RtmptScriptConn&)> script) {
  thread_ = std::thread([this, script = std::move(script)] {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) return;
    int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) return;
    RtmptScriptConn conn(fd);
    script(conn);
  });
}

void RtmptScriptServer::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace testpeers
