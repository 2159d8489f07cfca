// The request header template of the RTMPT tunnel: every request the client
// makes is a POST with these fields, only the path and length change.
#pragma once

#include <cstddef>
#include <string>

class CHTTPHeader {
 public:
  enum Method { METHOD_GET = 0, METHOD_POST = 1, METHOD_HEAD = 2 };

  // Room for a formatted header.
  static constexpr size_t kFormatSize = 1024;

  CHTTPHeader() = default;
  virtual ~CHTTPHeader() = default;

  // The header text with its blank line into `out` (kFormatSize bytes).
  // Returns its length, or -1 when it does not fit or a field is unusable;
  // nothing partial is ever meant to be sent.
  int Format(char* out) const;

  int method = METHOD_POST;
  std::string path;
  std::string version = "HTTP/1.1";
  std::string contentType = "application/x-fcs";
  std::string userAgent = "Shockwave Flash";
  std::string host;  // dotted quad, set when connecting
  int contentLength = 0;
  std::string connection = "Keep-Alive";
  std::string cacheControl = "no-cache";
};
