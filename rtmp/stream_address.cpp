#include "rtmp/stream_address.h"

#include <optional>

#include "rtmp/connection_params.h"
#include "rtmp/rtmp_url.h"

bool SplitStreamTaskAddress(const std::string& url, std::string& host, std::string& playPath,
                            std::string& app) {
  RtmpProtocol protocol = RTMP_PROTOCOL_RTMP;
  std::optional<std::string> h, p, a;
  int port = 0;
  if (!ParseRtmpUrl(url, protocol, h, port, p, a) || !h) return false;
  const int defaultPort = protocol == RTMP_PROTOCOL_RTMPT ? kRtmptRecorderPort : kRtmpRecorderPort;
  host = *h;
  if (port != 0 && port != defaultPort) host.append(":").append(std::to_string(port));
  playPath = p.value_or("");
  app = a.value_or("");
  return true;
}

void SplitHostPort(std::string_view field, int defaultPort, std::string& host, int& port) {
  port = defaultPort;
  const size_t colon = field.rfind(':');
  if (colon == std::string_view::npos) {
    host = std::string(field);
    return;
  }
  const std::string_view digits = field.substr(colon + 1);
  int value = 0;
  bool ok = !digits.empty() && digits.size() <= 5;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      ok = false;
      break;
    }
    value = value * 10 + (c - '0');
  }
  if (!ok || value <= 0 || value > 65535) {
    host = std::string(field);
    return;
  }
  host = std::string(field.substr(0, colon));
  port = value;
}
