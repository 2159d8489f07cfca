#include "platform/message_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include "platform/alt_signal_stack.h"
#include "platform/message_port_wire.h"

namespace platform {

namespace {

using port_wire::Frame;

constexpr int kPostTimeoutMs = 2000;
// A peer that connects and then stalls must not hold the port up for long.
constexpr int kFrameTimeoutMs = 1000;

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(addr->sun_path)) return false;
  std::memcpy(addr->sun_path, path.data(), path.size());
  return true;
}

bool PeerIsUs(int fd) {
  ucred cred{};
  socklen_t len = sizeof(cred);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof(cred)) return false;
  return cred.uid == ::geteuid();
}

// Waits for readiness and reads exactly `size` bytes; false on end, error or time-out.
bool ReadExactly(int fd, void* out, size_t size, int timeoutMs) {
  size_t done = 0;
  while (done < size) {
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    ssize_t n = ::recv(fd, static_cast<char*>(out) + done, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::send(fd, static_cast<const char*>(data) + done, size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// A connection to a window's port that answers as this user; -1 otherwise.
int ConnectToWindow(WindowHandle window) {
  if (window == 0) return -1;
  sockaddr_un addr;
  if (!FillAddress(MessagePortPath(window), &addr)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int r;
  do {
    r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  } while (r != 0 && errno == EINTR);
  // A socket of another user here would be a stand-in listening for our messages.
  if (r != 0 || !PeerIsUs(fd)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool Deliver(WindowHandle window, uint32_t kind, uint32_t msg, MessageParam wParam, MessageParam lParam,
             int timeoutMs) {
  int fd = ConnectToWindow(window);
  if (fd < 0) return false;
  Frame frame{port_wire::kMagic, kind, msg, 0, static_cast<int64_t>(wParam), static_cast<int64_t>(lParam)};
  char reply = 0;
  bool ok = WriteAll(fd, &frame, sizeof(frame)) && ReadExactly(fd, &reply, 1, timeoutMs) &&
            reply == port_wire::kAccepted;
  ::close(fd);
  return ok;
}

bool IsPrivateFolderOfUs(const std::string& dir) {
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

}  // namespace

std::string RuntimeFolder() {
  std::string dir;
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
    dir = xdg;
  } else {
    dir = "/tmp/tamborel-runtime-" + std::to_string(::geteuid());
    ::mkdir(dir.c_str(), 0700);  // an existing one is checked below like any other
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return IsPrivateFolderOfUs(dir) ? dir : std::string();
}

std::string MessagePortPath(WindowHandle window) {
  std::string dir = RuntimeFolder();
  if (dir.empty()) return {};
  char name[32];
  std::snprintf(name, sizeof(name), "/window-%08X", window);
  return dir + name;
}

struct MessagePort::Impl {
  WindowServices* target = nullptr;
  bool limited = false;
  std::set<uint32_t> accepted;
  WindowHandle handle = 0;
  std::string path;
  int listenFd = -1;
  int wake[2] = {-1, -1};
  std::thread thread;

  bool Listen(WindowHandle candidate);
  void Run();
  void Serve(int fd);
};

bool MessagePort::Impl::Listen(WindowHandle candidate) {
  std::string p = MessagePortPath(candidate);
  sockaddr_un addr;
  if (!FillAddress(p, &addr)) return false;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int r = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  if (r != 0 && errno == EADDRINUSE && !IsWindow(candidate)) {
    // Left behind by a process that ended without closing its port.
    ::unlink(p.c_str());
    r = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  }
  if (r != 0 || ::chmod(p.c_str(), 0600) != 0 || ::listen(fd, 16) != 0) {
    if (r == 0) ::unlink(p.c_str());
    ::close(fd);
    return false;
  }
  listenFd = fd;
  path = p;
  handle = candidate;
  return true;
}

void MessagePort::Impl::Run() {
  for (;;) {
    pollfd p[2] = {{listenFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
    int r = ::poll(p, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || (p[1].revents & (POLLIN | POLLHUP))) return;
    if (!(p[0].revents & POLLIN)) continue;
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Serve(fd);
    ::close(fd);
  }
}

void MessagePort::Impl::Serve(int fd) {
  // The folder keeps other users out; this holds even when someone opened it up.
  if (!PeerIsUs(fd)) return;
  Frame frame;
  if (!ReadExactly(fd, &frame, sizeof(frame), kFrameTimeoutMs)) return;  // a probe, or garbage
  if (frame.magic != port_wire::kMagic || (frame.kind != port_wire::kPost && frame.kind != port_wire::kSend))
    return;
  if (limited && !accepted.count(frame.msg)) return;
  target->Post(frame.msg, static_cast<MessageParam>(frame.wParam), static_cast<MessageParam>(frame.lParam));
  char reply = port_wire::kAccepted;
  WriteAll(fd, &reply, 1);
}

MessagePort::MessagePort(WindowServices* target) : impl_(std::make_unique<Impl>()) { impl_->target = target; }

MessagePort::~MessagePort() { Close(); }

void MessagePort::AcceptOnly(std::initializer_list<uint32_t> messages) {
  impl_->limited = true;
  impl_->accepted = messages;
}

bool MessagePort::Open() {
  Close();
  if (!impl_->target) return false;
  std::random_device seed;
  std::mt19937 random(seed());
  bool listening = false;
  for (int attempt = 0; attempt < 64 && !listening; ++attempt) {
    WindowHandle candidate = static_cast<WindowHandle>(random());
    if (candidate != 0) listening = impl_->Listen(candidate);
    if (!listening && RuntimeFolder().empty()) return false;
  }
  if (!listening) return false;
  if (::pipe2(impl_->wake, O_CLOEXEC) != 0) {
    Close();
    return false;
  }
  impl_->thread = std::thread([impl = impl_.get()] {
    const AltSignalStack crashStack;
    impl->Run();
  });
  return true;
}

void MessagePort::Close() {
  Impl& d = *impl_;
  if (d.thread.joinable()) {
    char c = 1;
    while (::write(d.wake[1], &c, 1) < 0 && errno == EINTR) {
    }
    d.thread.join();
  }
  for (int& fd : d.wake) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (d.listenFd >= 0) {
    ::close(d.listenFd);
    ::unlink(d.path.c_str());
  }
  d.listenFd = -1;
  d.path.clear();
  d.handle = 0;
}

WindowHandle MessagePort::Handle() const { return impl_->handle; }

bool PostWindowMessage(WindowHandle window, uint32_t msg, MessageParam wParam, MessageParam lParam) {
  return Deliver(window, port_wire::kPost, msg, wParam, lParam, kPostTimeoutMs);
}

bool SendWindowMessage(WindowHandle window, uint32_t msg, MessageParam wParam, MessageParam lParam,
                       int timeoutMs) {
  return Deliver(window, port_wire::kSend, msg, wParam, lParam, timeoutMs > 0 ? timeoutMs : kPostTimeoutMs);
}

bool IsWindow(WindowHandle window) {
  int fd = ConnectToWindow(window);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace platform
