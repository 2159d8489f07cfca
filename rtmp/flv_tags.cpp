// FLV bytes from media messages, and the filter that joins a continued
// stream to the end of the file.
#include <algorithm>
#include <cstring>
#include <new>

#include "rtmp/amf.h"
#include "rtmp/diag_log.h"
#include "rtmp/rtmp.h"
#include "rtmp/rtmp_download.h"

namespace {

uint32_t Read24(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
uint32_t Read32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | Read24(p + 1); }
// An FLV tag's timestamp: 24 bits, then the extension byte as bits 24 to 31.
uint32_t TagTimestamp(const uint8_t* tag) { return Read24(tag + 4) | (uint32_t(tag[7]) << 24); }

void Write24(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 16);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v);
}
void Write32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  Write24(p + 1, v);
}

bool IsOnMetaData(const uint8_t* data, uint32_t size) {
  if (size > INT32_MAX) return false;
  AMFObject obj;
  if (obj.Decode(reinterpret_cast<const char*>(data), int(size), false) < 0) return false;
  return obj.GetProperty(0).GetString() == "onMetaData";
}

}  // namespace

int CRTMPDownload::WriteHeader(uint8_t* out) {
  static const uint8_t kHeader[kFlvHeaderSize] = {'F', 'L', 'V', 0x01, 0x05, 0, 0, 0, 9, 0, 0, 0, 0};
  std::memcpy(out, kHeader, sizeof kHeader);
  return kFlvHeaderSize;
}

void CRTMPDownload::ResetResumeFilter() {
  keyframeFound = resumeFrameSeen = passing = false;
  ignoredMessages = ignoredAggregates = 0;
  highestIgnoredTimestamp = -1;
  timestampShift = resumeTimestamp;
}

bool CRTMPDownload::EnsureBuffer(size_t needed) {
  if (needed <= bufferSize && buffer) return true;
  std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[needed]);
  if (!bigger) return false;
  if (buffer) std::memcpy(bigger.get(), buffer.get(), bufferSize);
  buffer = std::move(bigger);
  bufferSize = needed;
  return true;
}

int CRTMPDownload::NextTag(MediaSource& source, uint32_t& timestamp) {
  RTMPPacket packet;
  const int got = source.GetNextMediaPacket(packet);
  if (got == CRTMP::MEDIA_CLOSED) return -1;
  mediaSeen_ = true;
  return TagFromPacket(packet, got, timestamp);
}

int CRTMPDownload::TagFromPacket(RTMPPacket& packet, int mediaResult, uint32_t& timestamp) {
  const uint8_t type = packet.packetType;
  const bool media = type == RTMP_PACKET_AUDIO || type == RTMP_PACKET_VIDEO;
  const uint8_t* body = packet.body.get();
  if (media && (packet.bodySize == 0 || !body)) return 0;
  if (tunnelled) {
    // The tunnelled recorder also drops messages too short to carry a frame.
    if (type == RTMP_PACKET_VIDEO && packet.bodySize <= 5) return 0;
    if (type == RTMP_PACKET_AUDIO && packet.bodySize <= 1) return 0;
  } else if (type == RTMP_PACKET_VIDEO && packet.bodySize == 2 && (body[0] >> 4) == 5) {
    return 0;
  }
  if (packet.bodySize > 0 && !body) return 0;

  if (resume) {
    const int filtered = ResumeFilter(packet);
    if (filtered <= 0) return filtered;
    body = packet.body.get();
  }

  const uint32_t size = packet.bodySize;
  uint32_t produced = 0;
  if (type == RTMP_PACKET_AUDIO || type == RTMP_PACKET_VIDEO || type == RTMP_PACKET_INFO) {
    const uint64_t needed = uint64_t(size) + 15;
    if (needed + 4 > bufferSize && !EnsureBuffer(needed + 4)) {
      DiagLog(DIAG_ERROR, "Couldn't reallocate memory!");
      return -1;
    }
    const uint32_t ts = uint32_t(packet.absTimestamp) + timestampShift;
    uint8_t* out = buffer.get();
    out[0] = type;
    Write24(out + 1, size);
    Write24(out + 4, ts & 0xFFFFFF);
    out[7] = uint8_t(ts >> 24);
    Write24(out + 8, 0);
    if (size) std::memcpy(out + 11, body, size);
    Write32(out + 11 + size, size + 11);
    if (type == RTMP_PACKET_AUDIO) mediaFlags |= kFlagsAudio;
    if (type == RTMP_PACKET_VIDEO) mediaFlags |= kFlagsVideo;
    produced = size + 15;
    timestamp = ts;
  } else if (type == RTMP_PACKET_FLASH_VIDEO) {
    // Room for a trailer that may have to be appended.
    if (uint64_t(size) + 8 > bufferSize && !EnsureBuffer(size_t(size) + 8)) {
      DiagLog(DIAG_ERROR, "Couldn't reallocate memory!");
      return -1;
    }
    uint8_t* out = buffer.get();
    if (size) std::memcpy(out, body, size);
    produced = size;
    uint32_t pos = 0;
    while (uint64_t(pos) + 11 <= size) {
      const uint8_t tagType = out[pos];
      const uint32_t dataSize = Read24(out + pos + 1);
      if (tagType == RTMP_PACKET_AUDIO) mediaFlags |= kFlagsAudio;
      if (tagType == RTMP_PACKET_VIDEO) mediaFlags |= kFlagsVideo;
      const uint64_t dataEnd = uint64_t(pos) + 11 + dataSize;
      if (dataEnd > size) {
        if (tunnelled)
          DiagLog(DIAG_ERROR, "Wrong data size (%lu), stream corrupted, aborting!",
                  static_cast<unsigned long>(dataSize));
        return -2;
      }
      timestamp = TagTimestamp(out + pos);
      if (dataEnd + 4 > size) {
        DiagLog(DIAG_WARNING, "No tagSize found, appending!");
        // Only a short trailer of fewer than 4 bytes can sit there; it is replaced.
        Write32(out + dataEnd, dataSize + 11);
        produced = uint32_t(dataEnd) + 4;
        break;
      }
      if (Read32(out + dataEnd) != dataSize + 11) Write32(out + dataEnd, dataSize + 11);
      pos = uint32_t(dataEnd) + 4;
    }
  } else {
    return 0;
  }

  if (mediaResult == CRTMP::MEDIA_END) {
    if (tunnelled)
      DiagLog(DIAG_DEBUG,
              "Got Play.Complete or Play.Stop from server. Assuming stream is complete");
    return 0;
  }
  return int(produced);
}

CRTMPDownload::AggregateSearch CRTMPDownload::SearchAggregate(RTMPPacket& packet) {
  const auto log = [this](int level, const char* text) {
    if (!tunnelled) DiagLog(level, "%s", text);
  };
  uint8_t* body = packet.body.get();
  const uint32_t size = packet.bodySize;
  uint32_t pos = 0;
  uint32_t lastTs = 0;
  bool looked = false;
  while (uint64_t(pos) + 11 < size) {
    const uint8_t tagType = body[pos];
    const uint32_t dataSize = Read24(body + pos + 1);
    const uint32_t ts = TagTimestamp(body + pos);
    looked = true;
    lastTs = ts;
    if (tagType == resumeFrame->type) {
      if (ts == resumeTimestamp) {
        log(DIAG_DEBUG, "Found keyframe with resume-keyframe timestamp!");
        const uint64_t dataEnd = uint64_t(pos) + 11 + dataSize;
        if (dataSize != resumeFrame->data.size() || dataEnd > size ||
            std::memcmp(body + pos + 11, resumeFrame->data.data(), dataSize) != 0) {
          log(DIAG_ERROR, "FLV Stream: Keyframe doesn't match!");
          return AGGREGATE_BROKEN;
        }
        keyframeFound = true;
        if (dataEnd + 4 > size) {
          log(DIAG_WARNING, "Non skipable packet since it doesn't end with chunk, stream corrupt!");
          return AGGREGATE_BROKEN;
        }
        const uint32_t cut = uint32_t(dataEnd) + 4;
        std::memmove(body, body + cut, size - cut);
        packet.bodySize = size - cut;
        return AGGREGATE_FOUND;
      }
      if (ts > resumeTimestamp) return AGGREGATE_LATER;
    }
    const uint64_t next = uint64_t(pos) + 15 + dataSize;
    if (next >= size) break;
    pos = uint32_t(next);
  }
  if (looked && lastTs < resumeTimestamp)
    log(DIAG_ERROR,
        "First packet does not contain keyframe, all timestamps are smaller than the "
        "keyframe timestamp, so probably the resume seek failed?");
  return AGGREGATE_NONE;
}

int CRTMPDownload::ResumeFilter(RTMPPacket& packet) {
  // The tunnelled recorder's filter keeps quiet.
  const auto log = [this](int level, const char* text) {
    if (!tunnelled) DiagLog(level, "%s", text);
  };
  const uint32_t t = uint32_t(packet.absTimestamp);
  const uint8_t type = packet.packetType;
  const bool aggregate = type == RTMP_PACKET_FLASH_VIDEO;
  const uint8_t* body = packet.body.get();
  const uint32_t size = packet.bodySize;

  // Set below for a message on the file's own timeline before the keyframe.
  bool approachingResume = false;

  const auto isResumeFrame = [&] {
    return resumeFrame && type == resumeFrame->type && size == resumeFrame->data.size() &&
           (size == 0 || std::memcmp(body, resumeFrame->data.data(), size) == 0);
  };

  if (t == 0) {
    if (metadata && type == RTMP_PACKET_INFO && IsOnMetaData(body, size)) {
      if (size != metadata->size() || std::memcmp(body, metadata->data(), size) != 0) return -2;
    }
    if (isResumeFrame()) {
      resumeFrameSeen = true;
      timestampShift = resumeTimestamp;
      return 0;
    }
    if (aggregate && resumeFrame) {
      const AggregateSearch found = SearchAggregate(packet);
      if (found == AGGREGATE_BROKEN) return -2;
      if (found != AGGREGATE_FOUND && !keyframeFound) {
        log(DIAG_ERROR, "Couldn't find the seeked keyframe in this chunk!");
        return 0;
      }
    }
  } else if (!resumeFrameSeen && !keyframeFound && resumeFrame) {
    // Servers that keep the stream's own timeline on a seek send the
    // keyframe again with its own timestamp, and what follows it needs no
    // shift; what they send before it is already in the file and is
    // dropped. One that cannot seek (nginx in an audio-only file) replays
    // from the start, so such drops are not counted while their timestamps
    // climb toward the keyframe: strictly rising 32-bit timestamps below it
    // bound how many there can be. Drops that do not climb still count.
    if (aggregate) {
      switch (SearchAggregate(packet)) {
        case AGGREGATE_BROKEN:
          return -2;
        case AGGREGATE_FOUND:
          timestampShift = 0;
          absoluteTimeline = true;
          break;
        case AGGREGATE_LATER:
          return absoluteTimeline ? -2 : kSeekOvershot;
        case AGGREGATE_NONE:
          approachingResume = t < resumeTimestamp;
          break;
      }
    } else if (t == resumeTimestamp && isResumeFrame()) {
      resumeFrameSeen = true;
      timestampShift = 0;
      return 0;
    } else if (t > resumeTimestamp && (type == RTMP_PACKET_AUDIO || type == RTMP_PACKET_VIDEO)) {
      // Started past the keyframe: asked again from earlier the stream can
      // still be joined without a gap, otherwise not.
      return absoluteTimeline ? -2 : kSeekOvershot;
    } else if (t < resumeTimestamp) {
      absoluteTimeline = true;
      approachingResume = true;
    }
  }

  bool pass;
  if (aggregate)
    pass = keyframeFound || (t != 0 && resumeFrameSeen);
  else
    pass = resumeFrameSeen || (t != 0 && keyframeFound);
  if (pass && t != 0) keyframeFound = resumeFrameSeen = true;
  if (!pass) {
    const bool advancing = approachingResume && int64_t(t) > highestIgnoredTimestamp;
    if (int64_t(t) > highestIgnoredTimestamp) highestIgnoredTimestamp = t;
    if (aggregate) {
      log(DIAG_WARNING, "Stream does not start with requested FLV frame, ignoring data... ");
      if (!advancing) ++ignoredAggregates;
    } else if (!advancing) {
      ++ignoredMessages;
    }
    if (ignoredMessages > kIgnoreLimit || ignoredAggregates > kIgnoreLimit) return -2;
    return 0;
  }

  if (!passing) {
    if (!aggregate && t == 0) return 0;
    if (t != 0) passing = true;
  }
  return 1;
}
