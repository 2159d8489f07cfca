#include "http/sh_download.h"

#include "http/response_fields.h"

#include "core/byte_count.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

const char kDefaultAgent[] = "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

std::string Request(shDownLoad& c, const char* object, const char* referer, const char* agent,
                    const char* cookie, int64_t start, int64_t end) {
  int length = -1;
  const char* text = c.BuildRequest("example.test", object, referer, agent, cookie, start, end, &length);
  if (!text) return "(refused)";
  EXPECT_EQ(length, static_cast<int>(std::strlen(text)));
  return std::string(text, static_cast<size_t>(length));
}

TEST(BuildRequest, ComposesTheRequestByteForByte) {
  shDownLoad c;
  EXPECT_EQ(Request(c, "/v/a.flv?x=1", "", "", "", 0, 0),
            std::string("GET /v/a.flv?x=1 HTTP/1.1\r\n"
                        "Accept: */*\r\n"
                        "Host: example.test\r\n") +
                kDefaultAgent +
                "Cache-Control: no-cache\r\n"
                "Connection: close\r\n"
                "\r\n");
  EXPECT_EQ(Request(c, "/a", "http://ref.test/p", "Agent/1", "k=v; j=w", 1000, 0),
            "GET /a HTTP/1.1\r\n"
            "Accept: */*\r\n"
            "Host: example.test\r\n"
            "Referer: http://ref.test/p\r\n"
            "User-Agent: Agent/1\r\n"
            "Cookie: k=v; j=w\r\n"
            "Cache-Control: no-cache\r\n"
            "Connection: close\r\n"
            "Range: bytes=1000-\r\n"
            "\r\n");
}

TEST(BuildRequest, RangeLine) {
  struct Case {
    int64_t start, end;
    const char* line;  // nullptr: no Range line
  } cases[] = {
      {0, 0, nullptr},
      {0, 500, nullptr},
      {1000, 0, "Range: bytes=1000-\r\n"},
      {1000, 1000, "Range: bytes=1000-\r\n"},
      {1000, 1999, "Range: bytes=1000-1999\r\n"},
      {3000000000LL, 0, "Range: bytes=3000000000-\r\n"},
  };
  shDownLoad c;
  for (const auto& k : cases) {
    std::string r = Request(c, "/a", "", "", "", k.start, k.end);
    if (k.line) {
      EXPECT_NE(r.find(std::string("Connection: close\r\n") + k.line + "\r\n"), std::string::npos) << r;
    } else {
      EXPECT_EQ(r.find("Range:"), std::string::npos) << r;
    }
  }
}

TEST(BuildRequest, RefusesWhatDoesNotFitTheBufferOrBreaksLines) {
  shDownLoad c;
  // The fixed part without the object, with the NUL: everything else must fit
  // in the rest of the 5120 bytes.
  const std::string fixed = Request(c, "", "", "", "", 0, 0);
  const size_t room = shDownLoad::kBufferSize - fixed.size() - 1;
  const std::string fits(room, 'a');
  EXPECT_EQ(Request(c, fits.c_str(), "", "", "", 0, 0).size(), shDownLoad::kBufferSize - 1u);

  const std::string tooLong(room + 1, 'a');
  const std::string huge(20000, 'b');
  for (const auto& args : {std::vector<std::string>{tooLong, "", "", ""},
                           std::vector<std::string>{"/a", huge, "", ""},
                           std::vector<std::string>{"/a", "", huge, ""},
                           std::vector<std::string>{"/a", "", "", huge},
                           std::vector<std::string>{"/a\r\nX-Evil: 1", "", "", ""},
                           std::vector<std::string>{"/a", "r\n", "", ""},
                           std::vector<std::string>{"/a", "", "ua\rX", ""},
                           std::vector<std::string>{"/a", "", "", "c=1\r\n\r\nGET /"}}) {
    EXPECT_EQ(Request(c, args[0].c_str(), args[1].c_str(), args[2].c_str(), args[3].c_str(), 0, 0),
              "(refused)");
    EXPECT_STREQ(c.RequestText(), "");
  }
  // Refused means nothing goes out.
  EXPECT_FALSE(c.Send());
}

// Answers one connection with canned bytes and then closes (or, with
// `keepOpen`, waits until the client goes).
class CannedServer {
 public:
  CannedServer(std::string answer, bool keepOpen = false)
      : answer_(std::move(answer)), keepOpen_(keepOpen) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(listen_, 1);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CannedServer() {
    thread_.join();
    ::close(listen_);
  }
  int port() const { return port_; }
  const std::string& request() const { return request_; }

 private:
  void Serve() {
    int s = ::accept(listen_, nullptr, nullptr);
    if (s < 0) return;
    char buf[4096];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = ::recv(s, buf, sizeof buf, 0);
      if (n <= 0) break;
      request_.append(buf, static_cast<size_t>(n));
    }
    ::send(s, answer_.data(), answer_.size(), MSG_NOSIGNAL);
    if (keepOpen_)
      while (::recv(s, buf, sizeof buf, 0) > 0) {
      }
    ::close(s);
  }

  std::string answer_;
  bool keepOpen_;
  int listen_ = -1;
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

// Connects, sends a plain request and reads the answer's header.
void Exchange(shDownLoad& c, const CannedServer& server) {
  ASSERT_TRUE(c.CreateSocket());
  ASSERT_TRUE(c.Connect("127.0.0.1", server.port()));
  EXPECT_STREQ(c.AddressText(), "127.0.0.1");
  ASSERT_NE(c.BuildRequest("127.0.0.1", "/f", "", "", "", 0, 0, nullptr), nullptr);
  ASSERT_TRUE(c.Send());
}

std::string Field(shDownLoad& c, const char* name, int capacity = 30) {
  std::string buffer(static_cast<size_t>(capacity) + 1, '\x7f');
  if (!c.FindField(name, buffer.data(), capacity)) return "(none)";
  EXPECT_NE(buffer.find('\0'), std::string::npos);
  return buffer.c_str();
}

TEST(ResponseHeader, StatusFromTheFirstLine) {
  struct Case {
    const char* head;
    int status;
  } cases[] = {
      {"HTTP/1.1 206 Partial Content\r\n\r\n", 206},
      {"HTTP/1.1    200 OK\r\n\r\n", 200},
      {"HTTP/1.1 404\r\n\r\n", 404},
      {"HTTP/1.1 20x OK\r\n\r\n", 20},
      {"HTTP/1.1\r\nX-A: b c\r\n\r\n", 0},  // the first blank is on a later line
      {"\r\nHTTP/1.1 200 OK\r\n\r\n", 0},
      {"HTTP/1.1 200 OK", 0},               // no line end at all
      {"HTTP/1.1 99999999999999 OK\r\n\r\n", 999999 * 10 + 9},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.head);
    CannedServer server(k.head);
    shDownLoad c;
    Exchange(c, server);
    EXPECT_EQ(c.Status(), k.status);
  }
}

TEST(ResponseHeader, FieldsKeepTheBlankAndMatchByPrefix) {
  CannedServer server(
      "HTTP/1.1 200 OK\r\n"
      "content-length: 1234\r\n"
      "Content-Range: bytes 0-1233/1234\r\n"
      "X-No-Colon\r\n"
      "X-Empty:\r\n"
      "Conn: short\r\n"
      "\r\n");
  shDownLoad c;
  Exchange(c, server);
  EXPECT_EQ(c.Status(), 200);
  ASSERT_EQ(c.Fields().size(), 5u);

  EXPECT_EQ(Field(c, "Content-Length"), " 1234");
  EXPECT_EQ(std::atoi(Field(c, "Content-Length").c_str()), 1234);
  EXPECT_EQ(Field(c, "Content-Length", 3), " 12");
  EXPECT_EQ(Field(c, "Content-Length", 0), "");
  EXPECT_EQ(Field(c, "CONTENT-RANGE", 100), " bytes 0-1233/1234");
  // A line without a colon is a field with the line's last character cut off
  // and an empty value.
  EXPECT_EQ(std::string(c.Fields()[2].name, c.Fields()[2].nameLength), "X-No-Colo");
  EXPECT_EQ(Field(c, "X-No-Colon"), "");
  EXPECT_EQ(Field(c, "X-Empty"), "");
  // The shorter name decides: "Conn" answers for "Connection", and "Content"
  // for the first field that starts with it.
  EXPECT_EQ(Field(c, "Connection"), " short");
  EXPECT_EQ(Field(c, "Content"), " 1234");
  EXPECT_EQ(Field(c, "Server"), "(none)");
}

TEST(ResponseHeader, LinesComeBackInPiecesOfTheCapacityAndStartOver) {
  CannedServer server("HTTP/1.1 200 OK\r\nA: b\r\n\r\nBODY");
  shDownLoad c;
  Exchange(c, server);
  EXPECT_EQ(c.HeaderLength(), 25);
  char line[8];
  std::vector<std::string> lines;
  for (int n; (n = c.ReadLine(line, 7)) != -1;) lines.emplace_back(line, static_cast<size_t>(n));
  EXPECT_EQ(lines, (std::vector<std::string>{"HTTP/1.", "1 200 O", "K\r\n", "A: b\r\n", "\r\n"}));
  ASSERT_EQ(c.ReadLine(line, 7), 7);  // the reader started over
  EXPECT_EQ(std::string(line, 7), "HTTP/1.");
}

TEST(ResponseHeader, LongHeaderIsCutAt1024ButTheBodyStartsAfterIt) {
  std::string filler(1100, 'x');
  CannedServer server("HTTP/1.1 200 OK\r\nX-Filler: " + filler + "\r\nContent-Length: 4\r\n\r\nBODY");
  shDownLoad c;
  Exchange(c, server);
  EXPECT_EQ(c.HeaderLength(), shDownLoad::kHeaderLimit);
  EXPECT_TRUE(c.HeaderComplete());
  EXPECT_EQ(c.Status(), 200);
  EXPECT_EQ(Field(c, "Content-Length"), "(none)");  // beyond the kept part
  std::string body;
  char buf[1024];
  for (int i = 0; i < 50 && body.size() < 4; ++i) {
    int n = c.Receive(buf, sizeof buf);
    ASSERT_GE(n, 0);
    body.append(buf, static_cast<size_t>(n));
  }
  EXPECT_EQ(body, "BODY");
}

TEST(ResponseHeader, FullHeaderFieldsReachPastTheKeptPart) {
  std::string filler;
  for (int i = 0; i < 20; ++i) filler += "Set-Cookie: s" + std::to_string(i) + "=" + std::string(200, 'c') + "\r\n";
  CannedServer server("HTTP/1.1 206 Partial Content\r\n"
                      "Content-Length: 4\r\n"
                      "Content-Rangefinder: no\r\n" +
                      filler +
                      "content-range: bytes 1000-1003/1004\r\n"
                      "Content-Range: bytes 0-3/4\r\n"
                      "\r\n"
                      "X-After: body\r\n\r\n");
  shDownLoad c;
  Exchange(c, server);
  EXPECT_EQ(c.HeaderLength(), shDownLoad::kHeaderLimit);
  EXPECT_EQ(Field(c, "Content-Range", 100), " no");  // the kept part, by prefix
  std::string value;
  // The whole header, by the exact name, first one wins.
  ASSERT_TRUE(c.FindFullHeaderField("Content-Range", &value));
  EXPECT_EQ(value, " bytes 1000-1003/1004");
  ASSERT_TRUE(c.FindFullHeaderField("content-length", &value));
  EXPECT_EQ(value, " 4");
  EXPECT_FALSE(c.FindFullHeaderField("Content", &value));
  EXPECT_FALSE(c.FindFullHeaderField("X-After", &value));  // past the blank line
  EXPECT_FALSE(c.FindFullHeaderField("HTTP/1.1 206 Partial Content", &value));
}

TEST(ResponseHeader, FullHeaderFieldsOfACutHeader) {
  // The last line never ended: it is not a field.
  CannedServer server("HTTP/1.1 200 OK\r\nA: 1\r\nContent-Range: bytes 0-1/2");
  shDownLoad c;
  Exchange(c, server);
  std::string value;
  EXPECT_TRUE(c.FindFullHeaderField("A", &value));
  EXPECT_FALSE(c.FindFullHeaderField("Content-Range", &value));
}

TEST(ResponseFields, ContentLengthAndRange) {
  struct Length {
    const char* text;
    bool ok;
    int64_t value;
  } lengths[] = {
      {" 1234", true, 1234}, {"0", true, 0}, {"\t12abc", true, 12}, {"", false, 0}, {" -5", false, 0},
      {"2147483647", true, 2147483647}, {"2147483648", true, 2147483648}, {"4294967297", true, 4294967297},
      {"4831838208", true, 4831838208}, {"9007199254740992", true, kMaxByteCount},
      {"9007199254740993", false, 0}, {"99999999999999999999", false, 0},
  };
  for (const auto& k : lengths) {
    SCOPED_TRACE(k.text);
    int64_t v = -1;
    EXPECT_EQ(ParseContentLength(k.text, &v), k.ok);
    if (k.ok) {
      EXPECT_EQ(v, k.value);
    }
  }
  struct Range {
    const char* text;
    bool ok;
    int64_t first, last, complete;
  } ranges[] = {
      {" bytes 1000-1499/1500", true, 1000, 1499, 1500},
      {"BYTES 0-0/1", true, 0, 0, 1},
      {"bytes 5-9/*", true, 5, 9, -1},
      {"bytes 0-99/1000", true, 0, 99, 1000},  // a middle part is a range too
      {"bytes 10-9/20", false, 0, 0, 0},
      {"bytes 0-99/99", false, 0, 0, 0},
      {"bytes 0-99", false, 0, 0, 0},
      {"bytes -99/100", false, 0, 0, 0},
      {"items 0-1/2", false, 0, 0, 0},
      {"bytes 0-2147483646/2147483647", true, 0, 2147483646, 2147483647},
      {"bytes 0-2147483648/2147483649", true, 0, 2147483648, 2147483649},
      {"bytes 4294967297-4831838207/4831838208", true, 4294967297, 4831838207, 4831838208},
      {"bytes 0-9/9007199254740993", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const auto& k : ranges) {
    SCOPED_TRACE(k.text);
    ContentRange r;
    ASSERT_EQ(ParseContentRange(k.text, &r), k.ok);
    if (!k.ok) continue;
    EXPECT_EQ(r.first, k.first);
    EXPECT_EQ(r.last, k.last);
    EXPECT_EQ(r.complete, k.complete);
  }
}

TEST(ResponseHeader, AnswerThatEndsEarly) {
  {
    CannedServer server("");
    shDownLoad c;
    Exchange(c, server);
    EXPECT_EQ(c.HeaderLength(), 0);
    EXPECT_FALSE(c.HeaderComplete());
    char line[256];
    EXPECT_EQ(c.ReadLine(line, 256), -1);
    EXPECT_EQ(c.Status(), 0);
  }
  {
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n");
    shDownLoad c;
    Exchange(c, server);
    EXPECT_EQ(c.HeaderLength(), 37);
    EXPECT_FALSE(c.HeaderComplete());
    EXPECT_EQ(c.Status(), 200);
  }
}

TEST(Receive, HandsOutTheBodyThenZeroOnceTheServerClosed) {
  CannedServer server("HTTP/1.1 200 OK\r\n\r\n0123456789");
  shDownLoad c;
  Exchange(c, server);
  std::string body;
  char buf[4];
  int n;
  while ((n = c.Receive(buf, 4)) > 0) {
    EXPECT_LE(n, 4);
    body.append(buf, static_cast<size_t>(n));
  }
  EXPECT_EQ(n, 0);
  EXPECT_EQ(body, "0123456789");
  EXPECT_EQ(c.Receive(buf, 4), 0);  // closed by the server: still "nothing this time"
  EXPECT_TRUE(c.Close());
  EXPECT_FALSE(c.IsConnected());
  EXPECT_EQ(c.Receive(buf, 4), 0);
  EXPECT_TRUE(c.Close());
}

TEST(Receive, AbortFromAnotherThreadEndsTheWait) {
  CannedServer server("HTTP/1.1 200 OK\r\n\r\n", /*keepOpen=*/true);
  shDownLoad c;
  Exchange(c, server);
  std::chrono::steady_clock::time_point asked;
  std::thread stopper([&] {
    // A quarter into the receive wait below.
    std::this_thread::sleep_for(std::chrono::milliseconds(shDownLoad::kReceiveWaitMs / 4));
    asked = std::chrono::steady_clock::now();
    c.Abort();
  });
  char buf[16];
  // An aborted connection reads as closed: nothing, then the caller's checks.
  EXPECT_EQ(c.Receive(buf, sizeof buf), 0);
  const auto returned = std::chrono::steady_clock::now();
  stopper.join();
  // The abort woke the wait at once; it did not run out (three quarters later).
  EXPECT_LT(returned - asked, std::chrono::milliseconds(shDownLoad::kReceiveWaitMs / 2));
  EXPECT_TRUE(c.Close());
  // No new connection after an abort, even one that came before it.
  EXPECT_FALSE(c.CreateSocket());
}

TEST(Connect, FailsForAMissingHostOrNoListener) {
  shDownLoad c;
  EXPECT_FALSE(c.Connect("", 80));
  EXPECT_FALSE(c.Connect(nullptr, 80));
  ASSERT_TRUE(c.CreateSocket());
  // A port nobody listens on.
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  int port = ntohs(a.sin_port);
  EXPECT_FALSE(c.Connect("127.0.0.1", port));
  ::close(s);
  EXPECT_FALSE(c.Send());
  EXPECT_TRUE(c.Close());
}

}  // namespace
