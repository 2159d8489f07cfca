// QUORLIN_DL_%08X: one captured request (24,540 bytes), written by the
// capture side and read once by Tamborel. Every text is a zero-terminated
// single-byte text in a fixed field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace capture {

struct CaptureBlockLayout {
  static constexpr size_t kSize = 24540;
  static constexpr size_t kRequestLine = 0, kRequestLineSize = 3000;
  static constexpr size_t kReferer = 3000, kRefererSize = 3000;
  static constexpr size_t kUserAgent = 6000, kUserAgentSize = 3000;
  static constexpr size_t kCookie = 9000, kCookieSize = 3000;
  static constexpr size_t kHost = 12000, kHostSize = 200;
  static constexpr size_t kPattern = 12200, kPatternSize = 20;
  static constexpr size_t kText = 12220, kTextSize = 100;
  static constexpr size_t kValue = 12320;
  static constexpr size_t kUnused = 12324, kUnusedSize = 16;
  static constexpr size_t kRtmpHost = 12340, kRtmpHostSize = 100;
  static constexpr size_t kRtmpApp = 12440, kRtmpAppSize = 3000;
  static constexpr size_t kRtmpPlayPath = 15440, kRtmpPlayPathSize = 3000;
  static constexpr size_t kRtmptHost = 18440, kRtmptHostSize = 100;
  static constexpr size_t kRtmptApp = 18540, kRtmptAppSize = 3000;
  static constexpr size_t kRtmptPlayPath = 21540, kRtmptPlayPathSize = 3000;
};

// The block's name for the number the capture message carries.
std::string CaptureBlockName(uint32_t number);

// The fields as they stand in the block: header lines keep their names.
struct CaptureFields {
  std::string requestLine;  // "GET /v/clip.flv HTTP/1.1"
  std::string refererLine;  // "Referer: ..."
  std::string userAgentLine;  // "User-Agent: ..."
  std::string cookie;
  std::string hostLine;     // "Host: ..."
  std::string pattern;      // "*.flv"
  std::string text;
  int32_t value = 0;
  std::string rtmpHost, rtmpApp, rtmpPlayPath;
  std::string rtmptHost, rtmptApp, rtmptPlayPath;
};

// Reads the fields of a block of CaptureBlockLayout::kSize bytes.
CaptureFields ReadCaptureBlock(const uint8_t* block);
// Fills a block of CaptureBlockLayout::kSize bytes; false when a text did not
// fit its field (the block then holds it cut).
bool WriteCaptureBlock(const CaptureFields& fields, uint8_t* block);

}  // namespace capture
