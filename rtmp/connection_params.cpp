#include "rtmp/connection_params.h"

#include <algorithm>
#include <cstdio>

std::optional<std::string> BuildTcUrl(RtmpProtocol protocol, std::string_view host, int port,
                                      std::string_view app) {
  if (app.empty() || protocol < 0 || protocol >= kRtmpProtocolCount) return std::nullopt;
  char buffer[kTcUrlBufferSize];
  std::snprintf(buffer, sizeof buffer, "%s://%.*s:%d/%.*s", RtmpProtocolNames[protocol],
                static_cast<int>(std::min<size_t>(host.size(), kTcUrlBufferSize)), host.data(),
                port, static_cast<int>(std::min<size_t>(app.size(), kTcUrlBufferSize)), app.data());
  return std::string(buffer);
}

RtmpConnectionParams MakeRecorderConnectionParams(RtmpProtocol protocol, std::string_view host,
                                                  std::string_view app, std::string_view playpath) {
  RtmpConnectionParams params;
  params.protocol = protocol;
  params.host = std::string(host);
  params.port = protocol == RTMP_PROTOCOL_RTMPT ? kRtmptRecorderPort : kRtmpRecorderPort;
  params.playpath = std::string(playpath);
  if (!app.empty()) params.app = std::string(app);
  params.tcUrl = BuildTcUrl(protocol, host, params.port, app);
  params.flashVer = kRecorderFlashVer;
  return params;
}
