// Test media for the stream recorder: small FLV files made by ffmpeg from
// synthetic sources, and the checks a recording must pass (ffmpeg decodes it
// without a message, ffprobe's duration and packet counts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// An FLV of `seconds` seconds, 160x120 at 25 frames per second with a
// keyframe every second, sound at 22,050 Hz, carrying a keyframe index so
// that nginx can seek in it. An empty codec leaves that stream out.
bool MakeMediaFlv(const std::string& path, int seconds, const std::string& video_codec,
                  const std::string& audio_codec);

struct MediaFacts {
  bool ok = false;
  double duration = 0;
  int audio_packets = 0;
  int video_packets = 0;
};

// ffprobe's view of a file (-count_packets).
MediaFacts ProbeMedia(const std::string& path);
// What `ffmpeg -v error -i path -f null -` prints; empty for a clean file.
std::string DecodeErrors(const std::string& path);

struct FlvTagInfo {
  uint8_t type = 0;
  uint32_t timestamp = 0;
  uint32_t size = 0;
  uint8_t first_byte = 0;
  int64_t offset = 0;
};

// The tags of an FLV file, walking data sizes from byte 13.
std::vector<FlvTagInfo> ReadFlvTags(const std::string& path);

}  // namespace testsupport
