// Splitting a captured rtmp:// or rtmpt:// address into host, port,
// application and playpath.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Protocol numbers the parser reports. Only RTMP and RTMPT are recorded; the
// others are recognised so that the parser can say what it saw.
enum RtmpProtocol : int {
  RTMP_PROTOCOL_RTMP = 0,
  RTMP_PROTOCOL_RTMPT = 1,
  RTMP_PROTOCOL_RTMPS = 2,
  RTMP_PROTOCOL_RTMPE = 3,
  RTMP_PROTOCOL_RTMPTE = 4,
  RTMP_PROTOCOL_RTMFP = 5,
};

constexpr int kRtmpProtocolCount = 6;

// Names printed into the connection URL, indexed by protocol number, each in
// a 7-byte slot.
extern const char RtmpProtocolNames[kRtmpProtocolCount][7];

// Splits `url`. Returns false only when "://" is missing or the host is empty.
// Outputs the address does not supply are left as they were, so callers start
// with absent texts. `port` is written only when the address carries a port
// or it was 0 on entry. Defects other than the two above are logged and the
// parse goes on, so a true result may lack an application or a playpath.
bool ParseRtmpUrl(std::string_view url, RtmpProtocol& protocol, std::optional<std::string>& host,
                  int& port, std::optional<std::string>& playpath, std::optional<std::string>& app);
