// One RTMP message being received or sent.
#pragma once

#include <cstdint>
#include <memory>

// Header types of a chunk's basic header.
enum RTMPHeaderType : uint8_t {
  RTMP_HEADER_FULL = 0,     // 12 bytes
  RTMP_HEADER_MEDIUM = 1,   // 8 bytes
  RTMP_HEADER_SMALL = 2,    // 4 bytes
  RTMP_HEADER_MINIMUM = 3,  // 1 byte
};

// Message type ids the client deals with.
enum RTMPPacketType : uint8_t {
  RTMP_PACKET_CHUNK_SIZE = 1,
  RTMP_PACKET_BYTES_READ = 3,
  RTMP_PACKET_CONTROL = 4,
  RTMP_PACKET_SERVER_BW = 5,
  RTMP_PACKET_CLIENT_BW = 6,
  RTMP_PACKET_AUDIO = 8,
  RTMP_PACKET_VIDEO = 9,
  RTMP_PACKET_FLEX_MESSAGE = 17,
  RTMP_PACKET_INFO = 18,
  RTMP_PACKET_INVOKE = 20,
  RTMP_PACKET_FLASH_VIDEO = 22,
};

// Size of a chunk header by header type, basic header byte included.
inline constexpr int kRTMPHeaderSizes[4] = {12, 8, 4, 1};

// Chunk stream ids the basic header can carry: 64 in one byte plus 65,536 in
// the two extended forms.
inline constexpr int kRTMPChannels = 65600;

class RTMPPacket {
 public:
  RTMPPacket() = default;
  virtual ~RTMPPacket() = default;
  RTMPPacket(const RTMPPacket&) = delete;
  RTMPPacket& operator=(const RTMPPacket&) = delete;

  // A zero-filled body of `size` bytes; bytes read becomes 0.
  bool Alloc(int64_t size);
  void Free();
  // Frees the body and sets every other field to 0.
  void Reset();
  // Copies every field but the body.
  void CopyHeader(const RTMPPacket& from);
  // Moves the body (and its ownership) from `from`.
  void TakeBody(RTMPPacket& from);

  bool IsComplete() const { return bytesRead == bodySize; }

  uint8_t headerType = 0;
  uint8_t packetType = 0;
  int channel = 0;
  int32_t timestamp = 0;  // as in the last chunk header: absolute for type 0, else a delta
  int32_t streamId = 0;
  uint8_t hasAbsTimestamp = 0;
  int32_t absTimestamp = 0;
  uint32_t bodySize = 0;
  uint32_t bytesRead = 0;
  std::unique_ptr<uint8_t[]> body;
  // The last type 0-2 header carried a 4-byte extended timestamp, so the
  // type-3 chunks that follow carry it again.
  uint8_t extendedTimestamp = 0;
};
