#include "app/capture/capture_block.h"

#include <cstdio>
#include <cstring>

#include "app/capture/fixed_field.h"

namespace capture {

namespace {

using L = CaptureBlockLayout;

// One table for reading and writing, so the two cannot drift apart.
struct TextField {
  std::string CaptureFields::*member;
  size_t offset, size;
};

constexpr TextField kTextFields[] = {
    {&CaptureFields::requestLine, L::kRequestLine, L::kRequestLineSize},
    {&CaptureFields::refererLine, L::kReferer, L::kRefererSize},
    {&CaptureFields::userAgentLine, L::kUserAgent, L::kUserAgentSize},
    {&CaptureFields::cookie, L::kCookie, L::kCookieSize},
    {&CaptureFields::hostLine, L::kHost, L::kHostSize},
    {&CaptureFields::pattern, L::kPattern, L::kPatternSize},
    {&CaptureFields::text, L::kText, L::kTextSize},
    {&CaptureFields::rtmpHost, L::kRtmpHost, L::kRtmpHostSize},
    {&CaptureFields::rtmpApp, L::kRtmpApp, L::kRtmpAppSize},
    {&CaptureFields::rtmpPlayPath, L::kRtmpPlayPath, L::kRtmpPlayPathSize},
    {&CaptureFields::rtmptHost, L::kRtmptHost, L::kRtmptHostSize},
    {&CaptureFields::rtmptApp, L::kRtmptApp, L::kRtmptAppSize},
    {&CaptureFields::rtmptPlayPath, L::kRtmptPlayPath, L::kRtmptPlayPathSize},
};

}  // namespace

std::string CaptureBlockName(uint32_t number) {
  char name[32];
  std::snprintf(name, sizeof(name), "QUORLIN_DL_%08X", number);
  return name;
}

CaptureFields ReadCaptureBlock(const uint8_t* block) {
  CaptureFields f;
  for (const TextField& t : kTextFields) f.*t.member = FieldText(block + t.offset, t.size);
  f.value = static_cast<int32_t>(ReadU32(block + L::kValue));
  return f;
}

bool WriteCaptureBlock(const CaptureFields& fields, uint8_t* block) {
  std::memset(block, 0, L::kSize);
  bool fits = true;
  for (const TextField& t : kTextFields) fits = WriteField(block + t.offset, t.size, fields.*t.member) && fits;
  WriteU32(block + L::kValue, static_cast<uint32_t>(fields.value));
  return fits;
}

}  // namespace capture
