// The tunnel's request header: the text every request starts with, and the
// fields it refuses to format.
#include "rtmp/http_header.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HttpHeader, FormatsTheTunnelRequest) {
  CHTTPHeader h;
  h.path = "/idle/abc/7";
  h.host = "10.0.0.1";
  h.contentLength = 1;
  char out[CHTTPHeader::kFormatSize];
  const int n = h.Format(out);
  EXPECT_EQ(std::string(out, n > 0 ? size_t(n) : 0),
            "POST /idle/abc/7 HTTP/1.1\r\nContent-type: application/x-fcs\r\n"
            "User-Agent: Shockwave Flash\r\nHost: 10.0.0.1\r\nContent-Length: 1\r\n"
            "Connection: Keep-Alive\r\nCache-Control: no-cache\r\n\r\n");
}

TEST(HttpHeader, RefusesWhatWouldNotBeOneRequestHeader) {
  struct Case {
    const char* name;
    std::string path;
    int method;
    int length;
  };
  const Case cases[] = {
      {"line break in the path", "/send/a\r\nX-Injected: 1/0", CHTTPHeader::METHOD_POST, 1},
      {"longer than the buffer", "/" + std::string(CHTTPHeader::kFormatSize, 'p'),
       CHTTPHeader::METHOD_POST, 1},
      {"unknown method", "/open/1", 3, 1},
      {"negative length", "/open/1", CHTTPHeader::METHOD_POST, -1},
  };
  for (const Case& c : cases) {
    CHTTPHeader h;
    h.path = c.path;
    h.method = c.method;
    h.contentLength = c.length;
    h.host = "127.0.0.1";
    char out[CHTTPHeader::kFormatSize];
    EXPECT_EQ(h.Format(out), -1) << c.name;
  }
}

}  // namespace
