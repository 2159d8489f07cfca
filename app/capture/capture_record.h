// A captured item as the capture history keeps it, and the request that
// offers it in a capture popup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace capture {

struct CaptureTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

struct CaptureRecord {
  // The picture the capture popup delivers; owned here, released with the record.
  std::shared_ptr<void> thumbnail;
  int32_t id = 0;
  std::string address;
  std::string referer;    // the value, without "Referer: "
  std::string userAgent;  // the value, without "User-Agent: "
  std::string pattern;    // "*.flv"
  std::string cookie;
  CaptureTime time;
  int32_t value = 0;
  std::string text;
  std::string rtmpHost, rtmpPlayPath, rtmpApp;
  std::string rtmptHost, rtmptPlayPath, rtmptApp;
};

inline constexpr int32_t kPopupKindCapture = 1;

struct PopupRequest {
  int32_t id = 0;          // the capture identifier
  uint32_t window = 0;     // the main window
  int32_t kind = kPopupKindCapture;
  bool taskExists = false; // filled when the popup is shown
  std::string address;
  std::string pattern;
};

}  // namespace capture
