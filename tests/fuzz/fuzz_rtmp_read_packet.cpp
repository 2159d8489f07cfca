// The RTMP chunk reader over a byte stream from the server. The input after
// its first byte is written into one end of a socketpair, whose writing side
// is then shut, and a CRTMP reads the other end until the stream fails or
// ends. The first byte picks how:
//   bit 0: send "connect" first, so a "_result" takes the connect path and
//          the replies that follow it;
//   bit 1: read through GetNextMediaPacket (the player's loop, aggregates
//          included) instead of a plain ReadPacket loop that hands each
//          complete message to the handlers.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "rtmp/rtmp.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Well inside what a socketpair buffers, so the whole input is queued
// before reading starts and nothing blocks.
constexpr size_t kMaxStream = 64 * 1024;

void Dispatch(CRTMP& rtmp, const RTMPPacket& packet) {
  const uint8_t* body = packet.body.get();
  uint32_t size = body ? packet.bodySize : 0;
  switch (packet.packetType) {
    case RTMP_PACKET_CHUNK_SIZE: rtmp.HandleChangeChunkSize(packet); break;
    case RTMP_PACKET_CONTROL: rtmp.HandlePing(packet); break;
    case RTMP_PACKET_FLEX_MESSAGE:
      if (size >= 1) rtmp.HandleInvoke(body + 1, size - 1);
      break;
    case RTMP_PACKET_INFO: rtmp.HandleMetadata(body, size); break;
    case RTMP_PACKET_INVOKE: rtmp.HandleInvoke(body, size); break;
    default: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietDiag();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  if (size > kMaxStream) size = kMaxStream;

  int fds[2];
  // Both ends non-blocking: the reader never waits, as everything is queued.
  fuzz::QueueStream(data, size, fds);

  {
    CRTMP rtmp;
    if (!rtmp.AdoptSocket(fds[1])) std::abort();
    if (mode & 1) rtmp.SendConnectPacket();
    RTMPPacket packet;
    if (mode & 2) {
      while (rtmp.GetNextMediaPacket(packet) == CRTMP::MEDIA_PACKET) packet.Reset();
    } else {
      while (rtmp.ReadPacket(packet)) {
        if (packet.IsComplete()) Dispatch(rtmp, packet);
        packet.Reset();
      }
    }
  }
  close(fds[0]);
  return 0;
}
