#include "http/sh_download.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Appends to a fixed buffer, always leaving room for the terminating NUL;
// remembers when something did not fit.
class BoundedText {
 public:
  BoundedText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void Add(const char* text) { Add(text, std::strlen(text)); }
  void Add(const char* text, size_t n) {
    if (overflow_ || n >= capacity_ - used_) {
      overflow_ = true;
      return;
    }
    std::memcpy(buffer_ + used_, text, n);
    used_ += n;
    buffer_[used_] = '\0';
  }
  bool overflow() const { return overflow_; }
  size_t size() const { return used_; }

 private:
  char* buffer_;
  size_t capacity_;
  size_t used_ = 0;
  bool overflow_ = false;
};

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

shDownLoad::shDownLoad() = default;

shDownLoad::~shDownLoad() { Close(); }

bool shDownLoad::CreateSocket() {
  if (connected_) return false;
  platform::SocketHandle s = platform::SocketCreateTcp();
  if (s == platform::kNoSocket) return false;
  std::lock_guard<std::mutex> lock(socketLock_);
  if (aborted_) {
    // An abort that came before the socket existed still counts.
    platform::SocketClose(s);
    return false;
  }
  if (socket_ != platform::kNoSocket) platform::SocketClose(socket_);
  socket_ = s;
  return true;
}

bool shDownLoad::Close() {
  std::lock_guard<std::mutex> lock(socketLock_);
  tls_.Reset();
  if (socket_ != platform::kNoSocket) {
    if (!platform::SocketClose(socket_)) return false;
  }
  socket_ = platform::kNoSocket;
  connected_ = 0;
  knownWaiting_ = 0;
  return true;
}

void shDownLoad::Abort() {
  std::lock_guard<std::mutex> lock(socketLock_);
  aborted_ = true;
  platform::SocketShutdown(socket_);
}

bool shDownLoad::AdoptSocket(platform::SocketHandle s) {
  if (connected_ || s == platform::kNoSocket) return false;
  {
    std::lock_guard<std::mutex> lock(socketLock_);
    if (aborted_) return false;
    if (socket_ != platform::kNoSocket) platform::SocketClose(socket_);
    socket_ = s;
  }
  ResetResponse();
  connected_ = 1;
  return true;
}

bool shDownLoad::Aborted() {
  std::lock_guard<std::mutex> lock(socketLock_);
  return aborted_;
}

bool shDownLoad::Connect(const char* host, int port) {
  if (!host || !*host) return false;
  if (connected_) Close();
  if (socket_ == platform::kNoSocket && !CreateSocket()) return false;
  port_ = port;
  uint32_t address = 0;
  if (!platform::ResolveIPv4(host, &address)) return false;
  std::string text = platform::IPv4Text(address);
  std::snprintf(address_.data(), address_.size(), "%s", text.c_str());
  // The lookup cannot be cut short; an abort during it ends things here.
  if (Aborted() || !platform::SocketConnect(socket_, address, port_)) return false;
  ResetResponse();
  connected_ = 1;
  return true;
}

TlsSession::Result shDownLoad::StartTls(const char* host, std::string* why) {
  if (!connected_) {
    *why = "Not connected.";
    return TlsSession::Result::Failed;
  }
  TlsSession::Result result = tls_.Start(socket_, host ? host : "", kReceiveWaitMs, why);
  if (result != TlsSession::Result::Ok) Close();
  return result;
}

int64_t shDownLoad::TransportSend(const void* data, size_t size) {
  if (tls_.Active()) return tls_.Send(data, size);
  return platform::SocketSend(socket_, data, size);
}

int64_t shDownLoad::TransportReceive(void* data, size_t size) {
  if (!tls_.Active()) return platform::SocketReceive(socket_, data, size);
  for (;;) {
    int64_t n = tls_.ReceiveSome(data, size);
    if (n != TlsSession::kWouldBlock) return n;
    // Only the receive time-out of a TLS socket lands here: wait on, as a
    // plain receive would, unless the connection was broken meanwhile.
    if (Aborted()) return -1;
  }
}

const char* shDownLoad::BuildRequest(const char* host, const char* object, const char* referer,
                                     const char* userAgent, const char* cookie,
                                     int64_t rangeStart, int64_t rangeEnd, int* length) {
  host = OrEmpty(host);
  object = OrEmpty(object);
  referer = OrEmpty(referer);
  userAgent = OrEmpty(userAgent);
  cookie = OrEmpty(cookie);
  request_.fill('\0');
  if (length) *length = 0;
  // A line break inside a value would let it add lines of its own to the request.
  if (HasLineBreak(host) || HasLineBreak(object) || HasLineBreak(referer) ||
      HasLineBreak(userAgent) || HasLineBreak(cookie))
    return nullptr;

  BoundedText t(request_.data(), request_.size());
  t.Add("GET ");
  t.Add(object);
  t.Add(" HTTP/1.1\r\n");
  t.Add("Accept: */*\r\n");
  t.Add("Host: ");
  t.Add(host);
  t.Add("\r\n");
  if (*referer) {
    t.Add("Referer: ");
    t.Add(referer);
    t.Add("\r\n");
  }
  if (*userAgent) {
    t.Add("User-Agent: ");
    t.Add(userAgent);
  } else {
    t.Add("User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  }
  t.Add("\r\n");
  if (*cookie) {
    t.Add("Cookie: ");
    t.Add(cookie);
    t.Add("\r\n");
  }
  t.Add("Cache-Control: no-cache\r\n");
  t.Add("Connection: close\r\n");
  if (rangeStart > 0) {
    char range[64];
    int n = std::snprintf(range, sizeof range, "Range: bytes=%lld-", static_cast<long long>(rangeStart));
    if (rangeEnd > rangeStart)
      std::snprintf(range + n, sizeof range - n, "%lld", static_cast<long long>(rangeEnd));
    t.Add(range);
    t.Add("\r\n");
  }
  t.Add("\r\n");

  if (t.overflow()) {
    request_.fill('\0');
    return nullptr;
  }
  if (length) *length = static_cast<int>(t.size());
  return request_.data();
}

bool shDownLoad::Send() {
  if (!connected_) return false;
  size_t length = std::strlen(request_.data());
  if (length == 0) return false;  // refused by BuildRequest
  size_t sent = 0;
  while (sent < length) {
    int64_t n = TransportSend(request_.data() + sent, length - sent);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  if (!headerReceived_) {
    ReadHeader();
    ParseHeader();
  }
  return true;
}

void shDownLoad::ResetResponse() {
  header_.fill('\0');
  fullHeader_.clear();
  headerLength_ = -1;
  headerReceived_ = 0;
  peerClosed_ = false;
  peerReset_ = false;
  headerComplete_ = 0;
  readPosition_ = 0;
  knownWaiting_ = 0;
  fields_.clear();
  status_ = 0;
}

void shDownLoad::ReadHeader() {
  int count = 0;
  bool ended = false;
  while (count < kHeaderLimit) {
    // The end of the stream or an error ends the header: what came so far is it.
    if (TransportReceive(&header_[count], 1) <= 0) break;
    fullHeader_ += header_[count];
    ++count;
    if (count >= 4 && std::memcmp(&header_[count - 4], "\r\n\r\n", 4) == 0) {
      ended = true;
      break;
    }
  }
  headerLength_ = count;
  headerReceived_ = 1;
  // Only the first 1024 bytes are kept, but the body starts after the real
  // end of the header: the rest is read past so that it never lands in the file.
  if (!ended && count == kHeaderLimit) {
    uint32_t last4 = 0;
    for (int i = count - 4; i < count; ++i) last4 = (last4 << 8) | static_cast<unsigned char>(header_[i]);
    for (int skipped = 0; skipped < kHeaderSkipLimit; ++skipped) {
      char c;
      if (TransportReceive(&c, 1) <= 0) break;
      fullHeader_ += c;
      last4 = (last4 << 8) | static_cast<unsigned char>(c);
      if (last4 == 0x0D0A0D0A) {
        ended = true;
        break;
      }
    }
  }
  headerComplete_ = ended ? 1 : 0;
}

void shDownLoad::ParseHeader() {
  fields_.clear();
  status_ = 0;
  const int h = std::max(headerLength_, 0);
  const char* text = header_.data();
  auto find = [&](const char* what, int from) -> int {
    size_t n = std::strlen(what);
    for (int i = from; i + static_cast<int>(n) <= h; ++i)
      if (std::memcmp(text + i, what, n) == 0) return i;
    return -1;
  };

  int firstBreak = find("\r\n", 0);
  if (firstBreak <= 0) return;
  int blank = find(" ", 0);
  if (blank >= 0 && blank < firstBreak) {
    int i = blank + 1;
    while (i < h && text[i] == ' ') ++i;
    int64_t code = 0;
    for (; i < h && text[i] >= '0' && text[i] <= '9'; ++i) {
      code = code * 10 + (text[i] - '0');
      if (code > 999999) break;  // no status is this long; keep it from overflowing
    }
    status_ = static_cast<int>(code);
  }

  int line = firstBreak + 2;
  for (;;) {
    int lineEnd = find("\r\n", line);
    if (lineEnd < 0 || lineEnd == line) break;
    // The colon is looked for from the line start on, past the line if need be.
    int colon = find(":", line);
    HeaderField f;
    if (colon < 0 || colon > lineEnd) {
      f = {text + line, lineEnd - line - 1, text + lineEnd, 0};
    } else {
      f = {text + line, colon - line, text + colon + 1, lineEnd - colon - 1};
    }
    fields_.push_back(f);
    line = lineEnd + 2;
  }
}

int shDownLoad::ReadLine(char* buffer, int capacity) {
  if (readPosition_ >= headerLength_) {
    readPosition_ = 0;
    return -1;
  }
  int n = 0;
  while (n < capacity && readPosition_ < headerLength_) {
    char c = header_[readPosition_++];
    buffer[n++] = c;
    if (c == '\n') break;
  }
  return n;
}

bool shDownLoad::FindField(const char* name, char* buffer, int capacity) {
  if (!name || !buffer || capacity < 0) return false;
  size_t wanted = std::strlen(name);
  for (const HeaderField& f : fields_) {
    size_t n = std::min(wanted, static_cast<size_t>(f.nameLength));
    if (::strncasecmp(name, f.name, n) != 0) continue;
    int copy = std::min(capacity, f.valueLength);
    std::memcpy(buffer, f.value, static_cast<size_t>(copy));
    buffer[copy] = '\0';
    return true;
  }
  return false;
}

bool shDownLoad::FindFullHeaderField(const char* name, std::string* value) const {
  if (!name || !value) return false;
  const size_t wanted = std::strlen(name);
  const std::string& h = fullHeader_;
  size_t line = h.find("\r\n");
  if (line == std::string::npos || line == 0) return false;  // no status line
  for (line += 2;;) {
    size_t end = h.find("\r\n", line);
    if (end == std::string::npos || end == line) return false;  // cut off, or the blank line
    size_t colon = h.find(':', line);
    if (colon < end && colon - line == wanted && ::strncasecmp(h.data() + line, name, wanted) == 0) {
      value->assign(h, colon + 1, end - colon - 1);
      return true;
    }
    line = end + 2;
  }
}

int shDownLoad::Receive(char* buffer, int capacity) {
  if (!connected_) return 0;
  return tls_.Active() ? ReceiveSecure(buffer, capacity) : ReceivePlain(buffer, capacity);
}

int shDownLoad::ReceiveSecure(char* buffer, int capacity) {
  // Decrypted bytes already held by the session are not in the socket: the
  // readiness wait would miss them.
  if (tls_.Buffered() == 0) {
    int ready = platform::SocketWaitReadable(socket_, kReceiveWaitMs);
    if (ready < 0 || Aborted()) {
      Close();
      return -1;
    }
    if (ready == 0) return 0;
  }
  int64_t n = tls_.ReceiveSome(buffer, static_cast<size_t>(capacity));
  if (n > 0) return static_cast<int>(n);
  if (n == 0) peerClosed_ = true;
  if (n == 0 || n == TlsSession::kWouldBlock) return 0;
  Close();
  return -1;
}

int shDownLoad::ReceivePlain(char* buffer, int capacity) {
  int64_t waiting = knownWaiting_;
  int64_t n = 0;
  if (waiting <= 0) {
    int ready = platform::SocketWaitReadable(socket_, kReceiveWaitMs);
    if (ready < 0) goto failed;
    if (ready == 0) return 0;
    waiting = platform::SocketBytesWaiting(socket_);
    if (waiting < 0) goto failed;
    if (waiting == 0) {
      // Readable with nothing waiting: the server closed (a byte that came
      // in between is simply taken).
      // A reset is a cut, never the body's end, even when a close follows.
      n = platform::SocketReceive(socket_, buffer, 1);
      if (n < 0) peerReset_ = true;
      if (n == 0 && !peerReset_) peerClosed_ = true;
      return n > 0 ? static_cast<int>(n) : 0;
    }
  }
  n = platform::SocketReceive(socket_, buffer, static_cast<size_t>(std::min<int64_t>(waiting, capacity)));
  if (n > 0) {
    knownWaiting_ = waiting - n;
    return static_cast<int>(n);
  }
failed:
  knownWaiting_ = 0;
  Close();
  return -1;
}
