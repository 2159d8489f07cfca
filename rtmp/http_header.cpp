#include "rtmp/http_header.h"

#include <cstdio>

namespace {

constexpr const char* kMethodNames[] = {"GET", "POST", "HEAD"};

// A line break inside a field would end the header early and let the rest
// be read as headers of our own making.
bool IsFieldText(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

int CHTTPHeader::Format(char* out) const {
  if (method < METHOD_GET || method > METHOD_HEAD || contentLength < 0) return -1;
  for (const std::string* field :
       {&path, &version, &contentType, &userAgent, &host, &connection, &cacheControl})
    if (!IsFieldText(*field)) return -1;
  int n = std::snprintf(out, kFormatSize,
                        "%s %s %s\r\nContent-type: %s\r\nUser-Agent: %s\r\nHost: %s\r\n"
                        "Content-Length: %d\r\nConnection: %s\r\nCache-Control: %s\r\n\r\n",
                        kMethodNames[method], path.c_str(), version.c_str(), contentType.c_str(),
                        userAgent.c_str(), host.c_str(), contentLength, connection.c_str(),
                        cacheControl.c_str());
  if (n < 0 || static_cast<size_t>(n) >= kFormatSize) return -1;
  return n;
}
