// A partly recorded FLV file examined for continuing, then a stream of media
// messages joined to it. The input is split:
//   byte 0:      bit 0 the tunnelled recorder's rules, bit 1 resume even when
//                the file is started afresh;
//   bytes 1-2:   length L of the file (big-endian);
//   L bytes:     the temporary file's content;
//   the rest:    messages, each type (1 byte), timestamp (4), body size (2)
//                and body, handed out one by one as the connection would.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rtmp/amf.h"
#include "rtmp/rtmp.h"
#include "rtmp/rtmp_download.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class ScriptedSource final : public MediaSource {
 public:
  ScriptedSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  void Close() override { closed_ = true; }
  int GetNextMediaPacket(RTMPPacket& packet) override {
    if (closed_ || pos_ + 7 > size_) return CRTMP::MEDIA_CLOSED;
    const uint8_t* p = data_ + pos_;
    const uint32_t ts = uint32_t(p[1]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 8 | p[4];
    size_t bodySize = size_t(p[5]) << 8 | p[6];
    pos_ += 7;
    if (bodySize > size_ - pos_) bodySize = size_ - pos_;
    packet.Reset();
    packet.packetType = p[0];
    packet.absTimestamp = int32_t(ts);
    packet.timestamp = int32_t(ts);
    packet.bodySize = uint32_t(bodySize);
    packet.bytesRead = uint32_t(bodySize);
    // An exact copy, so reads past the body are seen.
    if (bodySize) {
      packet.body.reset(new uint8_t[bodySize]);
      std::memcpy(packet.body.get(), data_ + pos_, bodySize);
    }
    pos_ += bodySize;
    // A message type no recorder writes ends the stream as a stop status would.
    return p[0] == 0xFF ? CRTMP::MEDIA_END : CRTMP::MEDIA_PACKET;
  }
  bool IsConnected() const override { return !closed_ && pos_ < size_; }
  double GetDuration() const override { return duration_; }
  double GetFileSize() const override { return fileSize_; }
  void SetBufferMS(int) override {}
  void UpdateBufferMS() override {}
  void ReadMetaData(const AMFObject& object) override {
    for (int i = 0; i < object.GetPropertyCount(); ++i) {
      const AMFObjectProperty& p = object.GetProperty(i);
      if (p.GetName() == "duration") duration_ = p.GetNumber();
      if (p.GetName() == "filesize") fileSize_ = p.GetNumber();
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool closed_ = false;
  double duration_ = 0;
  double fileSize_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietDiag();
  if (size < 3 || size > (1u << 20)) return 0;
  const uint8_t mode = data[0];
  size_t fileSize = size_t(data[1]) << 8 | data[2];
  data += 3;
  size -= 3;
  if (fileSize > size) fileSize = size;

  // An anonymous file in memory: the examination works on a FILE like any.
  const int fd = memfd_create("part.flv", MFD_CLOEXEC);
  FILE* file = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
  if (!file) std::abort();
  if (fileSize && std::fwrite(data, 1, fileSize, file) != fileSize) std::abort();
  if (std::fflush(file) != 0) std::abort();

  ScriptedSource source(data + fileSize, size - fileSize);
  CRTMPDownload d;
  d.tunnelled = mode & 1;
  const int inspected = d.InspectFile(file, &source);
  if (inspected < CRTMPDownload::INSPECT_CONTINUE || inspected > CRTMPDownload::INSPECT_UNUSABLE)
    std::abort();
  if (inspected == CRTMPDownload::INSPECT_CONTINUE) {
    const int64_t at = ftello(file);
    if (at != d.resumePosition || at < CRTMPDownload::kFlvHeaderSize || at > int64_t(fileSize))
      std::abort();
  }
  d.resume = inspected == CRTMPDownload::INSPECT_CONTINUE || (mode & 2);
  // Smaller than the recorder's 1 MiB, so that growing it is exercised too.
  d.buffer.reset(new uint8_t[256]);
  d.bufferSize = 256;
  d.ResetResumeFilter();

  uint32_t timestamp = 0;
  for (int rounds = 0; rounds < 10000; ++rounds) {
    const int n = d.NextTag(source, timestamp);
    if (n < 0) break;
    if (size_t(n) > d.bufferSize) std::abort();
    // Every byte produced is read, so uninitialised or stray bytes show.
    unsigned sum = 0;
    for (int i = 0; i < n; ++i) sum += d.buffer[size_t(i)];
    if (sum == 0xFFFFFFFFu) std::abort();
  }
  std::fclose(file);
  return 0;
}
