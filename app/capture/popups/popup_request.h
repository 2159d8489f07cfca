// A popup waiting in one of the frame's queues, or on screen: a capture offer
// or a completion notice. Copied by value.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class WindowServices;
}

enum PopupKind : uint8_t { kCompletionPopup = 0, kCapturePopup = 1 };

struct PopupRequest {
  int32_t id = 0;                                  // capture identifier or TaskIndex
  platform::WindowServices* mainWindow = nullptr;  // gets the popup's messages
  uint8_t kind = kCapturePopup;
  uint8_t taskExists = 0;                          // set just before a capture offer is shown
  std::string text;                                // capture: the address; completion: the file's path
  std::string typePattern;                         // capture: "*.flv"; completion: empty
};
