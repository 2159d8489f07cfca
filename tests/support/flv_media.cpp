#include "tests/support/flv_media.h"

#include <sstream>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace testsupport {

bool MakeMediaFlv(const std::string& path, int seconds, const std::string& video_codec,
                  const std::string& audio_codec) {
  const std::string t = std::to_string(seconds);
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y"};
  if (!video_codec.empty())
    argv.insert(argv.end(), {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25"});
  if (!audio_codec.empty())
    argv.insert(argv.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050"});
  argv.insert(argv.end(), {"-t", t});
  if (!video_codec.empty()) argv.insert(argv.end(), {"-c:v", video_codec, "-g", "25"});
  if (!audio_codec.empty()) argv.insert(argv.end(), {"-c:a", audio_codec, "-ar", "22050"});
  argv.insert(argv.end(), {"-flvflags", "add_keyframe_index", "-f", "flv", path});
  return RunCommand(argv) == 0;
}

MediaFacts ProbeMedia(const std::string& path) {
  MediaFacts facts;
  std::string out;
  if (RunCommand({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                  "stream=codec_type,nb_read_packets:format=duration", "-of", "flat", path},
                 &out) != 0)
    return facts;
  std::istringstream in(out);
  std::string line;
  std::vector<std::string> types(8);
  std::vector<int> counts(8, 0);
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    if (key == "format.duration") {
      facts.duration = std::stod(value);
      facts.ok = true;
      continue;
    }
    unsigned index = 0;
    if (std::sscanf(key.c_str(), "streams.stream.%u.", &index) != 1 || index >= 8) continue;
    if (key.ends_with(".codec_type")) types[index] = value;
    if (key.ends_with(".nb_read_packets")) counts[index] = std::stoi(value);
  }
  for (size_t i = 0; i < types.size(); ++i) {
    if (types[i] == "audio") facts.audio_packets += counts[i];
    if (types[i] == "video") facts.video_packets += counts[i];
  }
  return facts;
}

std::string DecodeErrors(const std::string& path) {
  std::string out;
  const int code =
      RunCommand({"sh", "-c", "ffmpeg -nostdin -v error -i \"$0\" -f null - 2>&1", path}, &out);
  if (code != 0 && out.empty()) out = "ffmpeg exited with " + std::to_string(code);
  return out;
}

std::vector<FlvTagInfo> ReadFlvTags(const std::string& path) {
  const std::string d = ReadWholeFile(path);
  std::vector<FlvTagInfo> tags;
  for (size_t pos = 13; pos + 12 <= d.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(d.data() + pos);
    FlvTagInfo tag;
    tag.type = p[0];
    tag.size = (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    tag.timestamp =
        ((uint32_t(p[4]) << 16) | (uint32_t(p[5]) << 8) | p[6]) | (uint32_t(p[7]) << 24);
    tag.first_byte = p[11];
    tag.offset = int64_t(pos);
    if (pos + 15 + tag.size > d.size()) break;
    tags.push_back(tag);
    pos += 15 + tag.size;
  }
  return tags;
}

}  // namespace testsupport
