// The messages the browser extension sends the host, read from their JSON.
#pragma once

#include <string>
#include <string_view>

namespace browserhost {

struct HostMessage {
  enum class Kind { Hello, Capture, Other };
  Kind kind = Kind::Other;
  std::string type;  // as sent; Other keeps it for the log
  // Capture only; missing texts are empty.
  std::string url, method, referer, userAgent, cookie, contentType;
};

// False, with a one-line reason, for text that is not a JSON object with a
// text "type", or a capture without a text "url", or a field of the wrong
// kind. A missing or null optional field reads as empty.
bool ParseHostMessage(std::string_view json, HostMessage* message, std::string* reason);

}  // namespace browserhost
