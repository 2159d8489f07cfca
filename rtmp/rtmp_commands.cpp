// Command half of CRTMP: the commands the client sends, the message loop that
// hands back only media, and the reactions to server commands and metadata.
#include <cmath>
#include <cstring>

#include "rtmp/amf.h"
#include "rtmp/amf_bytes.h"
#include "rtmp/diag_log.h"
#include "rtmp/rtmp.h"

namespace {

constexpr size_t kCommandBufferSize = 4096;

uint32_t ReadBE(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// Appends AMF values to a fixed command buffer; a value that does not fit
// spoils the whole body, which is then not sent.
class CommandBody {
 public:
  CommandBody() { std::memset(buffer_, 0, sizeof buffer_); }

  void Add(int written) {
    if (written <= 0)
      ok_ = false;
    else
      pos_ += written;
  }
  void Byte(uint8_t b) {
    if (pos_ < end())
      *pos_++ = static_cast<char>(b);
    else
      ok_ = false;
  }
  void String(std::string_view s) { Add(AMFEncodeString(pos_, end(), s)); }
  void Number(double d) { Add(AMFEncodeNumber(pos_, end(), d)); }
  void Null() { Byte(0x05); }
  void NamedString(std::string_view name, std::string_view s) {
    Add(AMFEncodeNamedString(pos_, end(), name, s));
  }
  void NamedNumber(std::string_view name, double d) {
    Add(AMFEncodeNamedNumber(pos_, end(), name, d));
  }
  void NamedBoolean(std::string_view name, bool b) {
    Add(AMFEncodeNamedBoolean(pos_, end(), name, b));
  }
  void ObjectEnd() { Add(AMFEncodeInt24(pos_, end(), kAMFObjectEnd)); }

  bool ok() const { return ok_; }
  const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(buffer_); }
  uint32_t size() const { return static_cast<uint32_t>(pos_ - buffer_); }

 private:
  const char* end() const { return buffer_ + sizeof buffer_; }

  char buffer_[kCommandBufferSize];
  char* pos_ = buffer_;
  bool ok_ = true;
};

// A number from the server as a stream id; values no int can hold give 0.
int32_t TruncateToInt(double d) {
  if (!std::isfinite(d) || d <= -2147483649.0 || d >= 2147483648.0) return 0;
  return static_cast<int32_t>(d);
}

}  // namespace

bool CRTMP::SendInvoke(int channel, uint8_t headerType, int32_t timestamp, int32_t streamId,
                       const uint8_t* body, uint32_t size) {
  RTMPPacket packet;
  packet.channel = channel;
  packet.headerType = headerType;
  packet.packetType = RTMP_PACKET_INVOKE;
  packet.timestamp = timestamp;
  packet.streamId = streamId;
  packet.bodySize = size;
  if (!packet.Alloc(size)) return false;
  std::memcpy(packet.body.get(), body, size);
  return SendRTMP(packet);
}

bool CRTMP::SendConnectPacket() {
  CommandBody b;
  b.String("connect");
  b.Number(1.0);
  b.Byte(0x03);
  if (app_) b.NamedString("app", app_);
  if (flashVer_) b.NamedString("flashVer", flashVer_);
  if (swfUrl_) b.NamedString("swfUrl", swfUrl_);
  if (tcUrl_) b.NamedString("tcUrl", tcUrl_);
  b.NamedBoolean("fpad", false);
  b.NamedNumber("capabilities", 15.0);
  b.NamedNumber("audioCodecs", 3191.0);
  b.NamedNumber("videoCodecs", 252.0);
  b.NamedNumber("videoFunction", 1.0);
  if (pageUrl_) b.NamedString("pageUrl", pageUrl_);
  b.ObjectEnd();
  if (auth_) {
    b.Byte(0x01);
    b.Byte(0x01);
    b.String(auth_);
  }
  if (!b.ok()) return false;
  return SendInvoke(3, RTMP_HEADER_FULL, 0, 0, b.data(), b.size());
}

bool CRTMP::SendCreateStream() {
  CommandBody b;
  b.String("createStream");
  b.Number(2.0);
  b.Null();
  return b.ok() && SendInvoke(3, RTMP_HEADER_MEDIUM, 0, 0, b.data(), b.size());
}

bool CRTMP::SendFCSubscribe(const char* path) {
  DiagLog(DIAG_DEBUG, "FCSubscribe: %s", path ? path : "");
  CommandBody b;
  b.String("FCSubscribe");
  b.Number(0.0);
  b.Null();
  b.String(path ? path : "");
  return b.ok() && SendInvoke(3, RTMP_HEADER_MEDIUM, 0, 0, b.data(), b.size());
}

bool CRTMP::SendPlay() {
  const char* playpath = playpath_ ? playpath_ : "";
  DiagLog(DIAG_DEBUG, "%s, sending play: %s", "CRTMP::SendPlay", playpath);
  CommandBody b;
  b.String("play");
  b.Number(0.0);
  b.Null();
  b.String(playpath);
  if (liveStream_)
    b.Number(-1000.0);
  else
    b.Number(seek_ > 0 ? seek_ : 0.0);
  if (length_ != 0) b.Number(length_);
  return b.ok() && SendInvoke(8, RTMP_HEADER_FULL, 0, streamId_, b.data(), b.size());
}

bool CRTMP::SendCheckBWResult() {
  CommandBody b;
  b.String("_result");
  b.Number(0.0);
  b.Null();
  b.Number(static_cast<double>(bwCheckCounter_));
  int32_t timestamp = static_cast<int32_t>(static_cast<uint32_t>(bwCheckCounter_) * 22u);
  ++bwCheckCounter_;
  return b.ok() && SendInvoke(3, RTMP_HEADER_MEDIUM, timestamp, 0, b.data(), b.size());
}

bool CRTMP::SendServerBW() {
  RTMPPacket packet;
  packet.channel = 2;
  packet.headerType = RTMP_HEADER_FULL;
  packet.packetType = RTMP_PACKET_SERVER_BW;
  packet.bodySize = 4;
  packet.Alloc(4);
  AMFEncodeInt32(reinterpret_cast<char*>(packet.body.get()),
                 reinterpret_cast<char*>(packet.body.get()) + 4, 1250000);
  return SendRTMP(packet);
}

bool CRTMP::SendPing(int16_t type, uint32_t value1, uint32_t value2) {
  DiagLog(DIAG_DEBUG, "sending ping. type: 0x%04x", static_cast<uint16_t>(type));
  RTMPPacket packet;
  packet.channel = 2;
  packet.headerType = RTMP_HEADER_MEDIUM;
  packet.packetType = RTMP_PACKET_CONTROL;
  packet.bodySize = type == 3 ? 10 : 6;
  packet.Alloc(packet.bodySize);
  char* p = reinterpret_cast<char*>(packet.body.get());
  char* end = p + packet.bodySize;
  p += AMFEncodeInt16(p, end, static_cast<uint16_t>(type));
  p += AMFEncodeInt32(p, end, value1);
  if (type == 3) AMFEncodeInt32(p, end, value2);
  return SendRTMP(packet);
}

void CRTMP::UpdateBufferMS() { SendPing(3, 1, static_cast<uint32_t>(bufferMS_)); }

int CRTMP::GetNextMediaPacket(RTMPPacket& packet) {
  while (IsConnected()) {
    if (!ReadPacket(packet)) return MEDIA_CLOSED;
    if (!packet.IsComplete()) {
      int channel = packet.channel;
      packet.Reset();
      packet.channel = channel;
      continue;
    }
    const uint8_t* body = packet.body.get();
    uint32_t size = body ? packet.bodySize : 0;
    switch (packet.packetType) {
      case RTMP_PACKET_CHUNK_SIZE:
        HandleChangeChunkSize(packet);
        break;
      case RTMP_PACKET_CONTROL:
        HandlePing(packet);
        break;
      case RTMP_PACKET_AUDIO:
      case RTMP_PACKET_VIDEO:
        playing_ = true;
        return MEDIA_PACKET;
      case RTMP_PACKET_FLEX_MESSAGE:
        // An AMF3 command: one format byte, then the AMF0 invoke.
        if (size >= 1 && HandleInvoke(body + 1, size - 1) == 1) {
          playing_ = true;
          return MEDIA_END;
        }
        break;
      case RTMP_PACKET_INFO:
        if (HandleMetadata(body, size)) {
          playing_ = true;
          return MEDIA_PACKET;
        }
        break;
      case RTMP_PACKET_INVOKE:
        if (HandleInvoke(body, size) == 1) {
          playing_ = true;
          return MEDIA_END;
        }
        break;
      case RTMP_PACKET_FLASH_VIDEO:
        WalkAggregate(packet);
        playing_ = true;
        return MEDIA_PACKET;
      default:
        break;
    }
    packet.Reset();
  }
  return MEDIA_CLOSED;
}

void CRTMP::WalkAggregate(const RTMPPacket& packet) {
  const uint8_t* body = packet.body.get();
  uint64_t size = body ? packet.bodySize : 0;
  if (size <= 11) return;
  uint64_t offset = 0;
  while (offset + 11 < size) {
    uint32_t dataSize = ReadBE(body + offset + 1, 3);
    uint64_t next = offset + dataSize + 15;
    if (next > size) {
      if (warnCorruptAggregate_) DiagLog(DIAG_WARNING, "Stream corrupt?!");
      break;
    }
    if (body[offset] == RTMP_PACKET_INFO) HandleMetadata(body + offset + 11, dataSize);
    offset = next;
  }
}

int CRTMP::HandleInvoke(const uint8_t* body, uint32_t size) {
  if (size < 1 || body[0] != 0x02) {
    DiagLog(DIAG_WARNING, "%s, Sanity failed. no string method in invoke packet",
            "CRTMP::HandleInvoke");
    return 0;
  }
  AMFObject obj;
  if (size > INT32_MAX ||
      obj.Decode(reinterpret_cast<const char*>(body), static_cast<int>(size), false) < 0) {
    DiagLog(DIAG_ERROR, "%s, error decoding invoke packet", "CRTMP::HandleInvoke");
    return 0;
  }
  obj.Dump();
  const std::string method = obj.GetProperty(0).GetString();
  DiagLog(DIAG_DEBUG, "%s, server invoking <%s>", "CRTMP::HandleInvoke", method.c_str());

  if (method == "_result") {
    if (pendingCalls_.empty()) return 0;
    const std::string call = pendingCalls_.front();
    pendingCalls_.pop_front();
    DiagLog(DIAG_DEBUG, "%s, received result for method call <%s>", "CRTMP::HandleInvoke",
            call.c_str());
    if (call == "connect") {
      SendServerBW();
      SendPing(3, 0, 300);
      SendCreateStream();
      if (subscribePath_)
        SendFCSubscribe(subscribePath_);
      else if (liveStream_)
        SendFCSubscribe(playpath_);
    } else if (call == "createStream") {
      streamId_ = TruncateToInt(obj.GetProperty(3).GetNumber());
      SendPlay();
      SendPing(3, 1, static_cast<uint32_t>(bufferMS_));
    } else if (call == "play") {
      SendPlay();
    }
  } else if (method == "onBWDone" || method == "onFCSubscribe") {
    // Nothing to do.
  } else if (method == "_onbwcheck") {
    SendCheckBWResult();
  } else if (method == "_error") {
    DiagLog(DIAG_ERROR, "rtmp server sent error");
  } else if (method == "close") {
    DiagLog(DIAG_ERROR, "rtmp server requested close");
    closeReason_ = method;
    Close();
  } else if (method == "onStatus") {
    const AMFObject& info = obj.GetProperty(3).GetObject();
    const std::string code = info.GetProperty("code").GetString();
    DiagLog(DIAG_DEBUG, "%s, onStatus: %s", "CRTMP::HandleInvoke", code.c_str());
    if (code == "NetStream.Failed" || code == "NetStream.Play.Failed" ||
        code == "NetStream.Play.StreamNotFound" || code == "NetConnection.Connect.InvalidApp") {
      closeReason_ = code;
      Close();
    } else if (code == "NetStream.Play.Complete" || code == "NetStream.Play.Stop") {
      Close();
      return 1;
    }
  }
  return 0;
}

void CRTMP::HandlePing(const RTMPPacket& packet) {
  const uint8_t* body = packet.body.get();
  uint32_t size = body ? packet.bodySize : 0;
  int type = size >= 2 ? static_cast<int>(ReadBE(body, 2)) : -1;
  DiagLog(DIAG_DEBUG, "%s, received ping. type: %d, len: %u", "CRTMP::HandlePing", type, size);
  if (type == 6 && size >= 6) {
    SendPing(7, ReadBE(body + 2, 4), 0);
  } else if (type == 26) {
    DiagLog(DIAG_DEBUG, "%s, SWFVerification ping received: ", "CRTMP::HandlePing");
    DiagLog(DIAG_WARNING, "%s: Ignoring unsupported SWFVerification request", "CRTMP::HandlePing");
  }
}

bool CRTMP::HandleMetadata(const uint8_t* data, uint32_t size) {
  AMFObject obj;
  if (size > INT32_MAX ||
      obj.Decode(reinterpret_cast<const char*>(data), static_cast<int>(size), false) < 0) {
    DiagLog(DIAG_ERROR, "%s, error decoding meta data packet", "CRTMP::HandleMetadata");
    return false;
  }
  obj.Dump();
  if (obj.GetProperty(0).GetString() != "onMetaData") return false;
  OnMetaData(obj);
  return true;
}

void CRTMP::OnMetaData(const AMFObject& object) { ReadMetaData(object); }

void CRTMP::ReadMetaData(const AMFObject& object) {
  for (int i = 0; i < object.GetPropertyCount(); ++i) {
    const AMFObjectProperty& prop = object.GetProperty(i);
    if (prop.GetType() == AMF_OBJECT) {
      if (!prop.GetName().empty()) DiagPrint("%s:\n", prop.GetName().c_str());
      ReadMetaData(prop.GetObject());
    } else if (prop.GetName() == "filesize") {
      fileSize_ = prop.GetNumber();
    } else if (prop.GetName() == "duration") {
      duration_ = prop.GetNumber();
    }
  }
}
