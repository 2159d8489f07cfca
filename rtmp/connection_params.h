// Parameters of the RTMP "connect" command as the recorders rebuild them from
// a task's host, application and playpath fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rtmp/rtmp_url.h"

constexpr int kRtmpRecorderPort = 1935;  // the port of a captured address is not kept
constexpr int kRtmptRecorderPort = 80;
constexpr const char* kRecorderFlashVer = "LNX 10,0,22,87";
constexpr int32_t kRecorderBufferTimeMs = 36000000;  // ten hours: servers send ahead
constexpr int kRecorderReceiveTimeoutMs = 12000;
constexpr size_t kTcUrlBufferSize = 1024;  // a longer tcUrl is cut at 1023 characters

// Texts that are absent are not sent.
struct RtmpConnectionParams {
  RtmpProtocol protocol = RTMP_PROTOCOL_RTMP;
  std::string host;
  int port = kRtmpRecorderPort;
  std::string playpath;
  std::optional<std::string> tcUrl;
  std::optional<std::string> swfUrl;
  std::optional<std::string> pageUrl;
  std::optional<std::string> app;
  std::optional<std::string> auth;
  std::optional<std::string> flashVer;
  std::optional<std::string> subscribePath;
  double seekMs = 0;
  double lengthMs = 0;  // 0: to the end
  bool liveStream = false;
  int receiveTimeoutMs = kRecorderReceiveTimeoutMs;
  int32_t bufferTimeMs = kRecorderBufferTimeMs;
};

// "<protocol name>://<host>:<port>/<app>", cut to 1023 characters. Absent when
// `app` is empty (no tcUrl is sent then) or the protocol number is unknown.
std::optional<std::string> BuildTcUrl(RtmpProtocol protocol, std::string_view host, int port,
                                      std::string_view app);

// What the RTMP recorder (protocol RTMP) or the RTMPT recorder (protocol
// RTMPT) connects with: the fixed port of the protocol, the flashVer, a tcUrl
// when an application is given, ten hours of buffer, no offsets, not live.
RtmpConnectionParams MakeRecorderConnectionParams(RtmpProtocol protocol, std::string_view host,
                                                  std::string_view app, std::string_view playpath);
