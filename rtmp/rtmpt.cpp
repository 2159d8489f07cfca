#include "rtmp/rtmpt.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "rtmp/amf.h"
#include "rtmp/diag_log.h"

namespace {

constexpr int kTokenSize = 128;

// The first property called "duration", nested objects searched depth-first.
const AMFObjectProperty* FindDuration(const AMFObject& object) {
  for (int i = 0; i < object.GetPropertyCount(); ++i) {
    const AMFObjectProperty& prop = object.GetProperty(i);
    if (prop.GetType() == AMF_OBJECT) {
      if (const AMFObjectProperty* found = FindDuration(prop.GetObject())) return found;
    } else if (prop.GetName() == "duration") {
      return &prop;
    }
  }
  return nullptr;
}

// Session ids go into request paths: nothing that could end the request line.
bool IsSessionIdText(const char* s, size_t n) {
  if (n == 0) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

}  // namespace

CRTMPT::CRTMPT() {
  failRestartedMessage_ = true;
  warnCorruptAggregate_ = false;
}

CRTMPT::~CRTMPT() = default;

bool CRTMPT::Open() {
  char address[16];
  if (!Socket().PeerAddress(address, sizeof address)) return false;
  header_.host = address;
  if (!HandShake()) {
    DiagLog(DIAG_DEBUG, "%s, handshake failed", "CRTMPT::Connect");
    return false;
  }
  return true;
}

bool CRTMPT::SendHTTP(const char* path, const uint8_t* body, int size) {
  if (size < 0) return false;
  header_.path = path;
  header_.contentLength = size;
  char text[CHTTPHeader::kFormatSize];
  int length = header_.Format(text);
  if (length < 0) {
    DiagLog(DIAG_ERROR, "%s, request header does not fit", "CRTMPT::SendHTTP");
    return false;
  }
  std::vector<uint8_t> request(text, text + length);
  request.insert(request.end(), body, body + size);
  if (request.size() > INT32_MAX || !WriteN(request.data(), static_cast<int>(request.size())))
    return false;
  ++outstanding_;
  return true;
}

bool CRTMPT::SendTunnel(const char* command, const uint8_t* body, size_t size) {
  char path[kPathSize];
  int n = std::snprintf(path, sizeof path, "/%s/%s/%u", command, sessionId_, sequence_);
  if (n < 0 || static_cast<size_t>(n) >= sizeof path || size > INT32_MAX) {
    DiagLog(DIAG_ERROR, "%s, request path does not fit", "CRTMPT::SendHTTP");
    return false;
  }
  ++sequence_;
  return SendHTTP(path, body, static_cast<int>(size));
}

bool CRTMPT::SendIdle() {
  const uint8_t idle = 0x00;
  return SendTunnel("idle", &idle, 1);
}

void CRTMPT::PollWait() {
  // In steps, so that a close from another thread is not held up by a long
  // interval the server asked for.
  constexpr int kStepMs = 20;
  for (int waited = 0; waited < pollingMs_ && IsConnected(); waited += kStepMs)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kStepMs, pollingMs_ - waited)));
}

bool CRTMPT::WaitBuffered() {
  if (Buffered() > 0) return true;
  if (!FillBuffer()) return false;
  if (Buffered() > 0) return true;
  DiagLog(DIAG_DEBUG, "%s, RTMPT socket closed by server", "CRTMPT::ReadN");
  Close();
  return false;
}

int CRTMPT::ReadHTTPHeader() {
  if (bodyLeft_ > 0) return 1;
  responseStart_ = true;

  char token[kTokenSize];
  int tokenLength = 0;
  int tokensInHeader = 0;
  bool lengthNext = false;
  bool lineEmpty = true;
  bool statusSeen = false;
  bool firstLine = true;
  uint64_t contentLength = 0;
  for (int total = 0;; ++total) {
    if (total >= kMaxHeaderBytes) return -1;
    if (!WaitBuffered()) return 0;
    uint8_t c;
    TakeBuffered(&c, 1);
    if (c == '\r') continue;
    if (c == ' ' || c == '\t' || c == '\n') {
      if (tokenLength > 0) {
        token[tokenLength] = '\0';
        ++tokensInHeader;
        if (tokensInHeader == 2) {
          if (token[0] != '2') return -1;
          statusSeen = true;
        }
        if (lengthNext) {
          lengthNext = false;
          contentLength = 0;
          for (int i = 0; i < tokenLength; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(token[i]))) return -1;
            contentLength = contentLength * 10 + static_cast<uint64_t>(token[i] - '0');
            if (contentLength > UINT32_MAX) return -1;
          }
        } else if (strcasecmp(token, "Content-Length:") == 0) {
          lengthNext = true;
        }
        tokenLength = 0;
      }
      if (c == '\n') {
        if (lineEmpty && !firstLine) break;
        if (firstLine && !statusSeen) return -1;
        firstLine = false;
        lineEmpty = true;
        lengthNext = false;
      }
      continue;
    }
    lineEmpty = false;
    // Longer tokens are cut; none the client looks at is that long.
    if (tokenLength < kTokenSize - 1) token[tokenLength++] = static_cast<char>(c);
  }
  if (outstanding_ > 0) --outstanding_;
  bodyLeft_ = static_cast<uint32_t>(contentLength);
  return 1;
}

bool CRTMPT::ReadSessionId() {
  int h = ReadHTTPHeader();
  if (h != 1) return false;
  // The open answer carries no polling hint.
  responseStart_ = false;
  char body[kSessionIdSize + 1];
  if (bodyLeft_ == 0 || bodyLeft_ > sizeof body) {
    DiagLog(DIAG_ERROR, "%s, unusable session id of %u bytes", "CRTMPT::HandShake", bodyLeft_);
    return false;
  }
  size_t size = bodyLeft_;
  for (size_t got = 0; got < size;) {
    if (!WaitBuffered()) return false;
    got += static_cast<size_t>(
        TakeBuffered(reinterpret_cast<uint8_t*>(body) + got, static_cast<int>(size - got)));
  }
  bodyLeft_ = 0;
  // The id ends with a line end.
  while (size > 0 && (body[size - 1] == '\n' || body[size - 1] == '\r')) --size;
  if (size >= kSessionIdSize || !IsSessionIdText(body, size)) {
    DiagLog(DIAG_ERROR, "%s, unusable session id", "CRTMPT::HandShake");
    return false;
  }
  std::memcpy(sessionId_, body, size);
  sessionId_[size] = '\0';
  return true;
}

int CRTMPT::ReadN(uint8_t* out, int n) {
  int got = 0;
  while (got < n) {
    if (bodyLeft_ == 0 && !responseStart_) {
      if (outstanding_ == 0 && !SendIdle()) return 0;
      int h = ReadHTTPHeader();
      if (h <= 0) {
        // The answer's body, if any, is still unread: the tunnel is out of step.
        Close();
        return h;
      }
    }
    if (responseStart_) {
      responseStart_ = false;
      if (bodyLeft_ > 0) {
        if (!WaitBuffered()) return got;
        uint8_t hint;
        TakeBuffered(&hint, 1);
        --bodyLeft_;
        pollingMs_ = (hint + 4) * 20;
      }
      if (bodyLeft_ == 0) {
        // The answer carried no data.
        if (outstanding_ == 0) {
          if (!SendIdle()) return 0;
          PollWait();
        }
        continue;
      }
    }
    if (!WaitBuffered()) return got;
    int want = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(n - got), bodyLeft_));
    int take = TakeBuffered(out + got, want);
    bodyLeft_ -= static_cast<uint32_t>(take);
    got += take;
    if (!CountReceived(take)) return 0;
  }
  return got;
}

bool CRTMPT::HandShake() {
  sequence_ = 0;
  bodyLeft_ = 0;
  responseStart_ = false;
  pollingMs_ = kStartPollingMs;
  outstanding_ = 0;
  sessionId_[0] = '\0';

  const uint8_t openByte = 0x00;
  if (!SendHTTP("/open/1", &openByte, 1)) return false;
  PollWait();
  if (!ReadSessionId()) return false;

  uint8_t c0c1[kHandshakeSize + 1];
  MakeC0C1(c0c1);
  if (!SendTunnel("send", c0c1, sizeof c0c1)) return false;

  uint8_t s0;
  if (ReadN(&s0, 1) != 1) return false;
  uint8_t s1[kHandshakeSize];
  if (ReadN(s1, kHandshakeSize) != kHandshakeSize) return false;
  uint8_t s2[kHandshakeSize];
  if (ReadN(s2, kHandshakeSize) != kHandshakeSize) return false;
  if (std::memcmp(s2, c0c1 + 1, kHandshakeSize) != 0)
    DiagLog(DIAG_WARNING, "%s, client signature does not match!", "CRTMPT::HandShake");

  // C2, then the whole "connect" message, in one request.
  std::memcpy(handshakeBody_, s1, kHandshakeSize);
  std::memset(handshakeBody_, 0, 4);
  handshakeBodySize_ = kHandshakeSize;
  gathering_ = true;
  bool built = SendConnectPacket();
  gathering_ = false;
  if (!built) return false;
  return SendTunnel("send", handshakeBody_, handshakeBodySize_);
}

bool CRTMPT::SendRTMP(RTMPPacket& packet) {
  if (packet.headerType > 3) {
    DiagLog(DIAG_ERROR, "sanity failed!! tring to send header of type: 0x%02x.", packet.headerType);
    return false;
  }
  return CRTMP::SendRTMP(packet);
}

bool CRTMPT::WriteChunks(const uint8_t* bytes, size_t size, const std::vector<size_t>& pieceEnds) {
  if (gathering_) {
    if (size > kHandshakeBodySize - handshakeBodySize_) {
      DiagLog(DIAG_ERROR, "%s, connect does not fit the handshake request", "CRTMPT::HandShake");
      return false;
    }
    std::memcpy(handshakeBody_ + handshakeBodySize_, bytes, size);
    handshakeBodySize_ += size;
    return true;
  }
  size_t start = 0;
  for (size_t i = 0; i < pieceEnds.size(); ++i) {
    size_t end = pieceEnds[i];
    if (end < start || end > size) return false;
    if (!SendTunnel("send", bytes + start, end - start)) {
      if (i == 0) DiagLog(DIAG_WARNING, "%s: couldn't send rtmp header", "CRTMPT::SendRTMP");
      return false;
    }
    start = end;
  }
  return true;
}

void CRTMPT::OnMetaData(const AMFObject& object) {
  DiagPrint("\r%s\n", "Metadata:                  ");
  ReadMetaData(object);
  // Unlike the direct client, the first "duration" met counts.
  if (const AMFObjectProperty* duration = FindDuration(object)) SetDuration(duration->GetNumber());
}
