#include "rtmp/rtmp_packet.h"

#include <new>

bool RTMPPacket::Alloc(int64_t size) {
  if (size <= 0 || size > UINT32_MAX) return false;
  body.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]());
  bytesRead = 0;
  return body != nullptr;
}

void RTMPPacket::Free() { body.reset(); }

void RTMPPacket::Reset() {
  Free();
  CopyHeader(RTMPPacket());
}

void RTMPPacket::CopyHeader(const RTMPPacket& from) {
  headerType = from.headerType;
  packetType = from.packetType;
  channel = from.channel;
  timestamp = from.timestamp;
  streamId = from.streamId;
  hasAbsTimestamp = from.hasAbsTimestamp;
  absTimestamp = from.absTimestamp;
  bodySize = from.bodySize;
  bytesRead = from.bytesRead;
  extendedTimestamp = from.extendedTimestamp;
}

void RTMPPacket::TakeBody(RTMPPacket& from) { body = std::move(from.body); }
