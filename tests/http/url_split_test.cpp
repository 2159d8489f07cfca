#include "http/url_split.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
  const char* url;
  const char* service;
  const char* server;
  const char* object;
  int port;
};

TEST(SplitUrl, SplitsServiceServerObjectAndPort) {
  const SplitCase cases[] = {
      {"http://example.test/v/clip.flv?id=7&x=1", "http", "example.test", "/v/clip.flv?id=7&x=1", 80},
      {"http://example.test:8080/a", "http", "example.test", "/a", 8080},
      {"http://example.test", "http", "example.test", "/", 80},
      {"http://example.test:81", "http", "example.test", "/", 81},
      {"http://example.test?q=1", "http", "example.test", "/?q=1", 80},
      {"http://example.test:/a", "http", "example.test", "/a", 80},
      {"https://example.test/a", "https", "example.test", "/a", 443},
      {"HTTP://Example.Test/A", "http", "Example.Test", "/A", 80},
      {"http://user:pw@example.test:81/a#part", "http", "example.test", "/a", 81},
      {"http://10.0.0.1/a%20b", "http", "10.0.0.1", "/a%20b", 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    UrlParts p;
    ASSERT_TRUE(SplitUrl(c.url, &p));
    EXPECT_EQ(p.service, c.service);
    EXPECT_EQ(p.server, c.server);
    EXPECT_EQ(p.object, c.object);
    EXPECT_EQ(p.port, c.port);
  }
}

TEST(SplitUrl, RefusesAddressesWithoutSchemeHostOrUsablePort) {
  for (const char* url : {"", "example.test/v/clip.flv", "example.test:80/a", "://example.test/",
                          "http://", "http:///a", "http://:80/a", "http://example.test:0/",
                          "http://example.test:65536/", "http://example.test:8x/",
                          "1http://example.test/"}) {
    SCOPED_TRACE(url);
    UrlParts p;
    EXPECT_FALSE(SplitUrl(url, &p));
  }
}

}  // namespace

TEST(ResolveLocation, FollowsEveryFormOfLocation) {
  UrlParts base;
  ASSERT_TRUE(SplitUrl("https://example.test:8443/v/watch/clip.flv?id=7", &base));
  const struct {
    const char* location;
    const char* expected;
  } cases[] = {
      {"http://other.test/a.flv", "http://other.test/a.flv"},
      {"//cdn.test/a.flv", "https://cdn.test/a.flv"},
      {"/b/c.flv?x=1", "https://example.test:8443/b/c.flv?x=1"},
      {"next.flv", "https://example.test:8443/v/watch/next.flv"},
      {"../up.flv", "https://example.test:8443/v/watch/../up.flv"},
      {"?id=8", "https://example.test:8443/v/watch/clip.flv?id=8"},
      {"/a.flv#part", "https://example.test:8443/a.flv"},
      {"", "https://example.test:8443/v/watch/clip.flv?id=7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.location);
    EXPECT_EQ(ResolveLocation(base, c.location), c.expected);
  }
}
