// The media-information library: fills the 276-byte request with the video's
// width and height and two readings of its length in milliseconds (the
// container's, then the video stream's), through libavformat.
extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
}

#include <cstdint>
#include <cstring>

#include "app/capture/media_info_request.h"

namespace {

using L = capture::MediaInfoRequestLayout;

void Put(uint8_t* request, size_t offset, int64_t value) {
  if (value < 0) value = 0;
  if (value > INT32_MAX) value = INT32_MAX;
  const int32_t v = static_cast<int32_t>(value);
  std::memcpy(request + offset, &v, 4);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint8_t Ombrel(uint8_t* request) {
  if (!request) return 0;
  char path[L::kPathSize];
  std::memcpy(path, request + L::kPath, L::kPathSize);
  if (!std::memchr(path, 0, sizeof(path))) return 0;  // no terminator: not a path we can trust

  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path, nullptr, nullptr) != 0) return 0;
  uint8_t ok = 0;
  if (avformat_find_stream_info(format, nullptr) >= 0) {
    int64_t containerMs = format->duration != AV_NOPTS_VALUE ? format->duration / (AV_TIME_BASE / 1000) : 0;
    int64_t streamMs = 0;
    int width = 0, height = 0;
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0) {
      const AVStream* s = format->streams[video];
      width = s->codecpar->width;
      height = s->codecpar->height;
      if (s->duration != AV_NOPTS_VALUE)
        streamMs = av_rescale_q(s->duration, s->time_base, AVRational{1, 1000});
    }
    Put(request, L::kWidth, width);
    Put(request, L::kHeight, height);
    Put(request, L::kDuration1, containerMs);
    Put(request, L::kDuration2, streamMs);
    ok = 1;
  }
  avformat_close_input(&format);
  return ok;
}
