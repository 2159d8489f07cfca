// Transport half of CRTMP: socket, handshake, buffered reads, chunk
// reassembly, message sending and closing.
#include "rtmp/rtmp.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rtmp/diag_log.h"

namespace {

constexpr uint32_t kTimestampExtended = 0xFFFFFF;

uint32_t ReadBE(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

void WriteBE(uint8_t* p, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    p[i] = static_cast<uint8_t>(v & 0xFF);
    v >>= 8;
  }
}

}  // namespace

CRTMP::CRTMP()
    : buffer_(new uint8_t[kBufferSize]),
      channelsIn_(new RTMPPacket[kRTMPChannels]),
      channelsOut_(new RTMPPacket[kRTMPChannels]),
      channelTimestamps_(new uint32_t[kRTMPChannels]()),
      owner_(std::this_thread::get_id()) {
  Close();
}

CRTMP::~CRTMP() {
  owner_ = std::this_thread::get_id();
  Close();
}

bool CRTMP::Connect(int protocol, const char* host, int port, const char* playpath,
                    const char* tcUrl, const char* swfUrl, const char* pageUrl, const char* app,
                    const char* auth, const char* flashVer, const char* subscribePath, double seek,
                    double length, bool liveStream, int timeoutMs) {
  auto given = [](const char* s) { return s != nullptr && *s != '\0' ? s : nullptr; };
  protocol_ = protocol;
  host_ = given(host);
  port_ = port == 0 ? DefaultPort() : port;
  playpath_ = given(playpath);
  tcUrl_ = given(tcUrl);
  swfUrl_ = given(swfUrl);
  pageUrl_ = given(pageUrl);
  app_ = given(app);
  auth_ = given(auth);
  flashVer_ = given(flashVer);
  subscribePath_ = given(subscribePath);
  seek_ = seek;
  length_ = length;
  liveStream_ = liveStream;
  timeoutMs_ = timeoutMs;
  closeReason_.clear();

  // The connecting thread owns the connection; a Close from elsewhere only
  // shuts the socket down.
  owner_ = std::this_thread::get_id();
  Close();
  // The name lookup and the connection are bounded by the time-out too, and
  // a stop asked for meanwhile (or before) ends them.
  if (host_ == nullptr || stopped_ || !socket_.Connect(host_, port_, timeoutMs_, &stopped_)) {
    DiagLog(DIAG_DEBUG, "%s, failed to connect socket", "CRTMP::Connect");
    Close();
    return false;
  }
  // Set before the handshake, so a server that accepts and then stays silent
  // cannot hold the attempt forever.
  if (timeoutMs_ > 0) socket_.SetReceiveTimeout(timeoutMs_);
  if (!Open()) {
    Close();
    return false;
  }
  return true;
}

bool CRTMP::Open() {
  if (!HandShake()) {
    DiagLog(DIAG_DEBUG, "%s, handshake failed", "CRTMP::Connect");
    return false;
  }
  if (!SendConnectPacket()) {
    DiagLog(DIAG_DEBUG, "%s, RTMP connect failed", "CRTMP::Connect");
    return false;
  }
  return true;
}

bool CRTMP::Connect(const RtmpConnectionParams& p) {
  auto text = [](const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; };
  return Connect(p.protocol, p.host.c_str(), p.port, p.playpath.c_str(), text(p.tcUrl),
                 text(p.swfUrl), text(p.pageUrl), text(p.app), text(p.auth), text(p.flashVer),
                 text(p.subscribePath), p.seekMs, p.lengthMs, p.liveStream, p.receiveTimeoutMs);
}

bool CRTMP::AdoptSocket(int fd) {
  owner_ = std::this_thread::get_id();
  Close();
  return socket_.Adopt(fd);
}

bool CRTMP::IsConnected() const { return socket_.IsOpen(); }

void CRTMP::Close() {
  std::lock_guard<std::mutex> lock(closeLock_);
  socket_.Close();
  if (owner_.load() != std::this_thread::get_id()) {
    // A stop: this connection is done, even if it is still being made.
    stopped_ = true;
    return;
  }

  chunkSize_ = kDefaultChunkSize;
  bytesIn_ = 0;
  bytesInAcked_ = 0;
  bwCheckCounter_ = 0;
  for (int i = 0; i < kRTMPChannels; ++i) channelsIn_[i].Reset();
  for (int i = 0; i < 64; ++i) {
    channelsIn_[i].channel = i;
    channelsOut_[i].Reset();
    channelsOut_[i].channel = i;
  }
  partialBodyBytes_ = 0;
  bufferPos_ = 0;
  bufferCount_ = 0;
  playing_ = false;
}

void CRTMP::MakeC0C1(uint8_t* c0c1) {
  std::memset(c0c1, 0, kHandshakeSize + 1);
  c0c1[0] = 0x03;
  // Time and zero fields stay 0; the rest is filler the server echoes back.
  for (int i = 9; i < kHandshakeSize + 1; ++i) c0c1[i] = static_cast<uint8_t>(std::rand() & 0xFF);
}

bool CRTMP::HandShake() {
  std::vector<uint8_t> client(kHandshakeSize + 1);
  MakeC0C1(client.data());
  if (!WriteN(client.data(), kHandshakeSize + 1)) return false;

  uint8_t version;
  if (ReadN(&version, 1) != 1) return false;
  std::vector<uint8_t> server(kHandshakeSize);
  if (ReadN(server.data(), kHandshakeSize) != kHandshakeSize) return false;
  std::vector<uint8_t> echo(kHandshakeSize);
  if (ReadN(echo.data(), kHandshakeSize) != kHandshakeSize) return false;
  if (std::memcmp(echo.data(), client.data() + 1, kHandshakeSize) != 0)
    DiagLog(DIAG_WARNING, "%s, client signature does not match!", "CRTMP::HandShake");

  std::memset(server.data(), 0, 4);
  return WriteN(server.data(), kHandshakeSize);
}

bool CRTMP::FillBuffer() {
  long n = socket_.Receive(buffer_.get(), kBufferSize);
  if (n < 0) {
    DiagLog(DIAG_DEBUG, "%s, recv failed", "CRTMP::FillBuffer");
    Close();
    return false;
  }
  bufferPos_ = 0;
  bufferCount_ = static_cast<int>(n);
  return true;
}

int CRTMP::ReadN(uint8_t* out, int n) {
  int delivered = 0;
  while (delivered < n) {
    if (bufferCount_ == 0) {
      if (!FillBuffer()) {
        Close();
        return 0;
      }
      if (bufferCount_ == 0) {
        // The peer closed.
        Close();
        return delivered;
      }
    }
    int take = TakeBuffered(out + delivered, n - delivered);
    delivered += take;
    if (!CountReceived(take)) return 0;
  }
  return n;
}

int CRTMP::TakeBuffered(uint8_t* out, int n) {
  int take = std::min(n, bufferCount_);
  if (take <= 0) return 0;
  std::memcpy(out, buffer_.get() + bufferPos_, static_cast<size_t>(take));
  bufferPos_ += take;
  bufferCount_ -= take;
  return take;
}

bool CRTMP::CountReceived(int n) {
  bytesIn_ += static_cast<uint32_t>(n);
  return bytesIn_ - bytesInAcked_ <= kAckWindow || SendBytesReceived();
}

bool CRTMP::WriteN(const uint8_t* data, int n) {
  while (n > 0) {
    long sent = socket_.Send(data, static_cast<size_t>(n));
    if (sent < 0) {
      DiagLog(DIAG_DEBUG, "%s, RTMP send error", "CRTMP::WriteN");
      Close();
      return false;
    }
    if (sent == 0) return false;
    data += sent;
    n -= static_cast<int>(sent);
  }
  return true;
}

void CRTMP::DropPartialBody(RTMPPacket& packet) {
  if (packet.body) {
    partialBodyBytes_ -= std::min<uint64_t>(partialBodyBytes_, packet.bodySize);
    packet.Free();
  }
}

void CRTMP::FailRead(RTMPPacket& packet, int channel) {
  DropPartialBody(packet);
  packet.Reset();
  if (channel >= 0 && channel < kRTMPChannels) {
    DropPartialBody(channelsIn_[channel]);
    channelsIn_[channel].Reset();
  }
}

bool CRTMP::ReadPacket(RTMPPacket& packet) {
  // A body still in the packet belongs to a message the caller already had;
  // bodies of incomplete messages always go back to their channel below.
  packet.Free();

  uint8_t basic;
  if (ReadN(&basic, 1) != 1) {
    DiagLog(DIAG_DEBUG, "%s, failed to read RTMP packet header", "CRTMP::ReadPacket");
    FailRead(packet, packet.channel);
    return false;
  }
  int headerType = (basic & 0xC0) >> 6;
  int channel = basic & 0x3F;
  if (channel == 0 || channel == 1) {
    uint8_t ext[2] = {0, 0};
    int extra = channel == 0 ? 1 : 2;
    if (ReadN(ext, extra) != extra) {
      DiagLog(DIAG_DEBUG, "%s, failed to read RTMP packet header 2nd byte", "CRTMP::ReadPacket");
      FailRead(packet, packet.channel);
      return false;
    }
    channel = ext[0] + ext[1] * 256 + 64;
  }

  // Chunks of different chunk streams may interleave: each message is
  // completed on its own channel, whichever one the caller was waiting for.
  RTMPPacket& state = channelsIn_[channel];
  int headerSize = kRTMPHeaderSizes[headerType];
  if (headerType == RTMP_HEADER_FULL) {
    if (failRestartedMessage_ && state.body) {
      DiagLog(DIAG_DEBUG, "%s, new message on a channel with one in progress", "CRTMP::ReadPacket");
      FailRead(packet, channel);
      return false;
    }
    packet.Reset();
    packet.hasAbsTimestamp = 1;
    // A full header starts a new message even if one was left unfinished.
    DropPartialBody(state);
  } else {
    packet.CopyHeader(state);
    packet.TakeBody(state);
  }
  packet.channel = channel;
  packet.headerType = static_cast<uint8_t>(headerType);

  uint8_t header[16];
  int rest = headerSize - 1;
  if (rest > 0 && ReadN(header, rest) != rest) {
    DiagLog(DIAG_DEBUG, "%s, failed to read RTMP packet header", "CRTMP::ReadPacket");
    FailRead(packet, channel);
    return false;
  }
  if (rest >= 3) packet.timestamp = static_cast<int32_t>(ReadBE(header, 3));
  if (rest >= 6) {
    DropPartialBody(packet);
    packet.bodySize = ReadBE(header + 3, 3);
    packet.bytesRead = 0;
  }
  if (rest >= 7) packet.packetType = header[6];
  if (rest >= 11) {
    packet.streamId = static_cast<int32_t>(header[7] | header[8] << 8 | header[9] << 16 |
                                           static_cast<uint32_t>(header[10]) << 24);
  }

  // Extended timestamp: a 0xFFFFFF field in a type 0-2 header means the real
  // value follows in 4 bytes, and every type-3 chunk after such a header
  // repeats them.
  bool extended = rest >= 3 ? static_cast<uint32_t>(packet.timestamp) == kTimestampExtended
                            : packet.extendedTimestamp != 0;
  if (extended) {
    uint8_t ext[4];
    if (ReadN(ext, 4) != 4) {
      DiagLog(DIAG_DEBUG, "%s, failed to read extended timestamp", "CRTMP::ReadPacket");
      FailRead(packet, channel);
      return false;
    }
    // A continuation chunk repeats the value of its message; only a chunk
    // that starts a message takes it.
    if (rest >= 3 || packet.bytesRead == 0) packet.timestamp = static_cast<int32_t>(ReadBE(ext, 4));
  }
  packet.extendedTimestamp = extended ? 1 : 0;

  if (packet.bodySize > 0 && !packet.body) {
    // Without the body the rest of the chunk stream cannot be followed, so
    // the connection ends here.
    if (partialBodyBytes_ + packet.bodySize > kMaxPartialBodyBytes) {
      DiagLog(DIAG_ERROR, "%s, too many incomplete messages", "CRTMP::ReadPacket");
      FailRead(packet, channel);
      Close();
      return false;
    }
    if (!packet.Alloc(packet.bodySize)) {
      DiagLog(DIAG_DEBUG, "%s, failed to allocate packet", "CRTMP::ReadPacket");
      FailRead(packet, channel);
      Close();
      return false;
    }
    partialBodyBytes_ += packet.bodySize;
  }

  uint32_t toRead =
      std::min<uint32_t>(packet.bodySize - packet.bytesRead, static_cast<uint32_t>(chunkSize_));
  if (toRead > 0 && ReadN(packet.body.get() + packet.bytesRead, static_cast<int>(toRead)) !=
                        static_cast<int>(toRead)) {
    DiagLog(DIAG_DEBUG, "%s, failed to read RTMP packet body. len: %u", "CRTMP::ReadPacket",
            packet.bodySize);
    FailRead(packet, channel);
    return false;
  }
  packet.bytesRead += toRead;

  state.CopyHeader(packet);
  if (packet.IsComplete()) {
    uint32_t abs = static_cast<uint32_t>(packet.timestamp);
    if (!packet.hasAbsTimestamp) abs += channelTimestamps_[channel];
    packet.absTimestamp = static_cast<int32_t>(abs);
    channelTimestamps_[channel] = abs;
    if (packet.body) partialBodyBytes_ -= std::min<uint64_t>(partialBodyBytes_, packet.bodySize);
    state.bytesRead = 0;
    state.hasAbsTimestamp = 0;
  } else {
    state.TakeBody(packet);
  }
  return true;
}

bool CRTMP::SendRTMP(RTMPPacket& packet) {
  // The basic header is only written in its one-byte form.
  if (packet.channel < 2 || packet.channel > 63) return false;
  int type = packet.headerType;
  if (type > 3) return false;
  const RTMPPacket& last = channelsOut_[packet.channel];
  // Compress only when the fields left out really repeat the last message
  // on the channel.
  if (type == RTMP_HEADER_MEDIUM && last.bodySize == packet.bodySize &&
      last.packetType == packet.packetType)
    type = RTMP_HEADER_SMALL;
  if (type == RTMP_HEADER_SMALL && last.streamId == packet.streamId &&
      last.timestamp == packet.timestamp)
    type = RTMP_HEADER_MINIMUM;

  uint32_t ts = static_cast<uint32_t>(packet.timestamp);
  bool extended = type < 3 ? ts >= kTimestampExtended : last.extendedTimestamp != 0;
  int headerSize = kRTMPHeaderSizes[type];

  std::vector<uint8_t> out;
  std::vector<size_t> pieceEnds;
  out.reserve(headerSize + 4 + packet.bodySize +
              packet.bodySize / static_cast<uint32_t>(chunkSize_) * 5);
  uint8_t header[16];
  header[0] = static_cast<uint8_t>((type << 6) | packet.channel);
  if (headerSize > 1) WriteBE(header + 1, extended ? kTimestampExtended : ts, 3);
  if (headerSize > 4) {
    WriteBE(header + 4, packet.bodySize, 3);
    header[7] = packet.packetType;
  }
  if (headerSize > 8) {
    uint32_t id = static_cast<uint32_t>(packet.streamId);
    for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<uint8_t>(id >> (8 * i));
  }
  out.insert(out.end(), header, header + headerSize);
  uint8_t ext[4];
  WriteBE(ext, ts, 4);
  if (extended) out.insert(out.end(), ext, ext + 4);
  pieceEnds.push_back(out.size());

  const uint8_t* body = packet.body.get();
  uint32_t size = body ? packet.bodySize : 0;
  if (packet.packetType == RTMP_PACKET_INVOKE) {
    uint32_t piece = static_cast<uint32_t>(chunkSize_);
    for (uint32_t pos = 0; pos < size; pos += piece) {
      if (pos > 0) {
        out.push_back(static_cast<uint8_t>(0xC0 | packet.channel));
        if (extended) out.insert(out.end(), ext, ext + 4);
        pieceEnds.push_back(out.size());
      }
      uint32_t n = std::min(piece, size - pos);
      out.insert(out.end(), body + pos, body + pos + n);
      pieceEnds.push_back(out.size());
    }
  } else if (size > 0) {
    out.insert(out.end(), body, body + size);
    pieceEnds.push_back(out.size());
  }
  if (!WriteChunks(out.data(), out.size(), pieceEnds)) return false;

  // Only a call with a transaction id other than 0 expects a "_result";
  // replies (a bandwidth-check "_result") and play or FCSubscribe don't, and
  // listing them would match the server's results to the wrong calls.
  if (packet.packetType == RTMP_PACKET_INVOKE && size >= 3 && body[0] == 0x02) {
    uint32_t len = ReadBE(body + 1, 2);
    if (len <= size - 3 && size - 3 - len >= 9 && body[3 + len] == 0x00) {
      uint64_t bits = 0;
      for (int i = 0; i < 8; ++i) bits = bits << 8 | body[4 + len + i];
      double transaction;
      std::memcpy(&transaction, &bits, sizeof transaction);
      if (transaction != 0) {
        std::string name(reinterpret_cast<const char*>(body + 3), len);
        pendingCalls_.push_back(name.substr(0, name.find('\0')));
      }
    }
  }

  RTMPPacket& stored = channelsOut_[packet.channel];
  stored.CopyHeader(packet);
  stored.headerType = static_cast<uint8_t>(type);
  stored.extendedTimestamp = extended ? 1 : 0;
  return true;
}

bool CRTMP::WriteChunks(const uint8_t* bytes, size_t size, const std::vector<size_t>&) {
  return size <= INT32_MAX && WriteN(bytes, static_cast<int>(size));
}

void CRTMP::HandleChangeChunkSize(const RTMPPacket& packet) {
  if (packet.bodySize < 4 || !packet.body) return;
  uint32_t size = ReadBE(packet.body.get(), 4);
  // The top bit is reserved and 0 would stall reading and sending alike.
  if (size == 0 || size > 0x7FFFFFFF) {
    DiagLog(DIAG_WARNING, "%s, ignoring invalid chunk size %u", "CRTMP::HandleChangeChunkSize",
            size);
    return;
  }
  chunkSize_ = static_cast<int>(size);
  DiagLog(DIAG_DEBUG, "%s, received: chunk size change to %d", "CRTMP::HandleChangeChunkSize",
          chunkSize_);
}

bool CRTMP::SendBytesReceived() {
  RTMPPacket packet;
  packet.channel = 2;
  packet.headerType = RTMP_HEADER_MEDIUM;
  packet.packetType = RTMP_PACKET_BYTES_READ;
  packet.bodySize = 4;
  packet.Alloc(4);
  WriteBE(packet.body.get(), bytesIn_, 4);
  bytesInAcked_ = bytesIn_;
  return SendRTMP(packet);
}
