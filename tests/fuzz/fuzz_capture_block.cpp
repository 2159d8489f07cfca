// Capture blocks and monitor maps written by another process: the block
// reader, the address composer and the map reader on untrusted bytes.
// Input: a fill byte, then the fields separated by '\n' in block order; each
// piece is copied into its field without a terminator and the rest of the
// field takes the fill byte, so fields that run to their end are easy to
// reach. The same bytes, laid out from offset 0, are also read as a map.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/capture/capture_address.h"
#include "app/capture/capture_block.h"
#include "app/capture/monitor_map.h"

namespace {

using L = capture::CaptureBlockLayout;

constexpr struct {
  size_t offset, size;
} kFields[] = {
    {L::kRequestLine, L::kRequestLineSize}, {L::kReferer, L::kRefererSize},     {L::kUserAgent, L::kUserAgentSize},
    {L::kCookie, L::kCookieSize},           {L::kHost, L::kHostSize},           {L::kPattern, L::kPatternSize},
    {L::kText, L::kTextSize},               {L::kValue, 4},                     {L::kRtmpHost, L::kRtmpHostSize},
    {L::kRtmpApp, L::kRtmpAppSize},         {L::kRtmpPlayPath, L::kRtmpPlayPathSize},
    {L::kRtmptHost, L::kRtmptHostSize},     {L::kRtmptApp, L::kRtmptAppSize},   {L::kRtmptPlayPath, L::kRtmptPlayPathSize},
};

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsPrefix(const std::string& p, const std::string& s) { return s.compare(0, p.size(), p) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 1 << 16) return 0;
  // Exactly the block's size on the heap, so a read past its end is seen.
  std::unique_ptr<uint8_t[]> block(new uint8_t[L::kSize]);
  std::memset(block.get(), data[0], L::kSize);
  size_t at = 1;
  for (const auto& f : kFields) {
    if (at > size) break;
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data + at, '\n', size - at));
    const size_t n = (end ? static_cast<size_t>(end - data) : size) - at;
    std::memcpy(block.get() + f.offset, data + at, n < f.size ? n : f.size);
    at += n + 1;
  }

  const capture::CaptureFields fields = capture::ReadCaptureBlock(block.get());
  Check(fields.requestLine.size() <= L::kRequestLineSize && fields.hostLine.size() <= L::kHostSize &&
        fields.rtmptPlayPath.size() <= L::kRtmptPlayPathSize);
  const capture::CaptureRecord r = capture::ComposeCapture(fields, "special.example");
  if (!fields.rtmpHost.empty()) {
    Check(r.pattern == "*.flv" && strncasecmp(r.address.c_str(), "rtmp://", 7) == 0);
  } else if (!fields.rtmptHost.empty()) {
    Check(r.pattern == "*.flv" && strncasecmp(r.address.c_str(), "rtmpt://", 8) == 0);
  } else {
    Check(r.address.size() >= 4);
  }
  if (fields.rtmpHost == "special.example") Check(r.rtmpApp.find('?') == std::string::npos);

  // Written back, every text keeps at most its field less the terminator.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[L::kSize]);
  capture::WriteCaptureBlock(fields, copy.get());
  const capture::CaptureFields again = capture::ReadCaptureBlock(copy.get());
  Check(IsPrefix(again.requestLine, fields.requestLine) && IsPrefix(again.hostLine, fields.hostLine) &&
        IsPrefix(again.rtmpPlayPath, fields.rtmpPlayPath) && again.value == fields.value);

  // The first bytes of the block, read as a monitor map.
  alignas(8) uint8_t map[capture::MonitorMapLayout::kSize];
  std::memcpy(map, block.get(), sizeof(map));
  const capture::MonitorConfig c = capture::ReadMonitorMap(map);
  Check(c.browsers.size() <= 10 && c.patterns.size() <= 20 && c.libraryPath.size() <= 260);
  for (const std::string& b : c.browsers) Check(b.size() <= 30);
  return 0;
}
