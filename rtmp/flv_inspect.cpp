// Examining a partly recorded FLV file so that a new attempt can continue it
// after its last complete keyframe. The file is untrusted: every size read
// from it is checked against the file before it is used.
#include <cstring>
#include <new>

#include "rtmp/amf.h"
#include "rtmp/diag_log.h"
#include "rtmp/rtmp_download.h"

namespace {

uint32_t Read24(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
uint32_t Read32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | Read24(p + 1); }

bool ReadAt(FILE* file, int64_t pos, void* out, size_t n) {
  if (pos < 0 || fseeko(file, pos, SEEK_SET) != 0) return false;
  return fread(out, 1, n, file) == n;
}

}  // namespace

uint32_t CRTMPDownload::PreviousMatch(FILE* f, int64_t pos, int64_t usableEnd) const {
  // Only where a second request has to start; any doubt gives 0.
  uint8_t word[4];
  uint8_t tag[12];
  while (pos >= kFlvHeaderSize + 11 && ReadAt(f, pos - 4, word, 4)) {
    const uint32_t prevTagSize = Read32(word);
    if (prevTagSize < 11 || int64_t(prevTagSize) > usableEnd - 17) return 0;
    const int64_t tagStart = pos - 4 - int64_t(prevTagSize);
    if (tagStart < 0 || !ReadAt(f, tagStart, tag, sizeof tag)) return 0;
    if (audioOnly ? tag[0] == 8 : (tag[0] == 9 && (tag[11] >> 4) == 1))
      return Read24(tag + 4) | (uint32_t(tag[7]) << 24);
    pos = tagStart;
  }
  return 0;
}

int CRTMPDownload::InspectFile(FILE* f, MediaSource* source) {
  if (fseeko(f, 0, SEEK_END) != 0) return INSPECT_UNUSABLE;
  const int64_t fileSize = ftello(f);
  if (fileSize < 0) return INSPECT_UNUSABLE;
  if (fileSize == 0) return INSPECT_FRESH;

  uint8_t header[kFlvHeaderSize];
  if (!ReadAt(f, 0, header, sizeof header)) return INSPECT_UNUSABLE;
  if (std::memcmp(header, "FLV", 3) != 0 || header[3] != 1 ||
      (header[4] & (kFlagsAudio | kFlagsVideo)) == 0)
    return INSPECT_UNUSABLE;
  audioOnly = (header[4] & kFlagsAudio) && !(header[4] & kFlagsVideo);

  const int64_t dataOffset = Read32(header + 5);
  uint8_t word[4];
  if (!ReadAt(f, dataOffset, word, 4)) return INSPECT_UNUSABLE;
  if (const uint32_t first = Read32(word); first != 0 && !tunnelled)
    DiagLog(DIAG_WARNING, "First prevTagSize is not zero: prevTagSize = 0x%08X", first);

  // The end of the last complete tag, and the kinds of media before it.
  int64_t usableEnd = dataOffset + 4;
  bool audioTags = false, videoTags = false;
  for (int64_t pos = dataOffset + 4;;) {
    uint8_t start[4];
    if (!ReadAt(f, pos, start, 4)) break;
    usableEnd = pos;
    const int64_t next = pos + Read24(start + 1) + 15;
    if (next > fileSize) break;
    audioTags |= start[0] == 8;
    videoTags |= start[0] == 9;
    pos = next;
    usableEnd = pos;
  }
  // A header with no complete tag after it holds nothing to keep: the
  // attempt that wrote it ended before any media.
  if (usableEnd == dataOffset + 4) return INSPECT_FRESH;
  // A file whose header still claims video while it holds audio alone was
  // left by an attempt that ended before it could correct the header: it is
  // continued as the audio-only file it is.
  if (!audioOnly && audioTags && !videoTags) audioOnly = true;

  // The first onMetaData script tag, so that duration and size are known
  // before the stream sends anything.
  for (int64_t pos = dataOffset + 4; pos < usableEnd - 4;) {
    uint8_t tag[11];
    if (!ReadAt(f, pos, tag, sizeof tag)) break;
    const uint32_t dataSize = Read24(tag + 1);
    if (tag[0] == 18) {
      if (pos + 11 + int64_t(dataSize) > usableEnd) break;
      std::vector<uint8_t> data;
      try {
        data.resize(dataSize);
      } catch (const std::bad_alloc&) {
        return INSPECT_UNUSABLE;
      }
      if (dataSize && !ReadAt(f, pos + 11, data.data(), dataSize)) break;
      AMFObject obj;
      if (dataSize > INT32_MAX ||
          obj.Decode(reinterpret_cast<const char*>(data.data()), int(dataSize), false) < 0)
        break;
      if (obj.GetProperty(0).GetString() == "onMetaData") {
        obj.Dump();
        metadata = std::move(data);
        if (source) source->ReadMetaData(obj);
        break;
      }
    }
    pos += int64_t(dataSize) + 15;
  }

  // The last usable keyframe, walking back along the trailers.
  for (int64_t pos = usableEnd;;) {
    if (pos < kFlvHeaderSize) return INSPECT_UNUSABLE;
    if (!ReadAt(f, pos - 4, word, 4)) return INSPECT_UNUSABLE;
    const uint32_t prevTagSize = Read32(word);
    if (prevTagSize == 0 || int64_t(prevTagSize) > usableEnd - 17 || prevTagSize < 11)
      return INSPECT_UNUSABLE;
    const int64_t tagStart = pos - 4 - int64_t(prevTagSize);
    uint8_t tag[12];
    if (tagStart < 0 || !ReadAt(f, tagStart, tag, sizeof tag)) {
      if (!tunnelled) DiagLog(DIAG_ERROR, "Couldn't read header!");
      return INSPECT_UNUSABLE;
    }
    const bool match = audioOnly ? tag[0] == 8 : (tag[0] == 9 && (tag[11] >> 4) == 1);
    if (!match) {
      pos = tagStart;
      continue;
    }
    ResumeFrame frame;
    frame.type = tag[0];
    try {
      frame.data.resize(prevTagSize - 11);
    } catch (const std::bad_alloc&) {
      return INSPECT_UNUSABLE;
    }
    if (!frame.data.empty() && !ReadAt(f, tagStart + 11, frame.data.data(), frame.data.size()))
      return INSPECT_UNUSABLE;
    resumeTimestamp = Read24(tag + 4) | (uint32_t(tag[7]) << 24);
    if (resumeTimestamp == 0) return INSPECT_FRESH;
    resumeFrame = std::move(frame);
    resumePosition = pos;
    previousKeyframeTimestamp = PreviousMatch(f, tagStart, usableEnd);
    if (fseeko(f, pos, SEEK_SET) != 0) return INSPECT_UNUSABLE;
    return INSPECT_CONTINUE;
  }
}
