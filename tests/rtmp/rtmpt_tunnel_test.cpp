// CRTMPT on the wire, against the scripted tunnel server: the requests it
// makes, how it follows the polling hint, and what it does with answers that
// fail or cannot be trusted.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "rtmp/rtmpt.h"
#include "tests/peers/rtmp_script_server.h"
#include "tests/peers/rtmpt_script_server.h"
#include "tests/rtmp/captured_diag.h"

using namespace testpeers;

namespace {

const std::string kSession = "sess42";

bool ConnectTo(CRTMPT& t, int port) {
  return t.Connect(1, "127.0.0.1", port, "clip", "rtmpt://127.0.0.1:80/vod", nullptr, nullptr,
                   "vod", nullptr, "LNX 10,0,22,87", nullptr, 0, 0, false, 10000);
}

// One whole message that fits a single chunk.
std::string Message(int channel, uint8_t type, const std::string& body) {
  return chunk::Type0(channel, 0, static_cast<uint32_t>(body.size()), type, 1) + body;
}

const std::string kAudio = Message(4, 8, std::string("\xaf\x01\x21\x10", 4));

// Runs `script` after the tunnel is open, with the C2 + connect request still
// unanswered; connects the client and returns it (null when Connect failed).
std::unique_ptr<CRTMPT> OpenWith(RtmptScriptServer& server,
                                 std::function<void(RtmptScriptConn&)> script) {
  server.Run([script](RtmptScriptConn& c) {
    HttpRequest c2connect;
    if (c.AcceptTunnel(kSession, &c2connect)) script(c);
  });
  auto t = std::make_unique<CRTMPT>();
  if (!ConnectTo(*t, server.port())) return nullptr;
  return t;
}

TEST(RtmptTunnel, OpensTheTunnelAndSendsC2WithConnectInOneRequest) {
  RtmptScriptServer server;
  std::vector<HttpRequest> requests;
  std::string s1;
  server.Run([&](RtmptScriptConn& c) {
    HttpRequest c2connect;
    c.AcceptTunnel(kSession, &c2connect);
    requests = c.requests();
    s1 = c.s1();
  });
  CRTMPT t;
  ASSERT_TRUE(ConnectTo(t, server.port()));
  server.Join();
  ASSERT_EQ(requests.size(), 3u);

  EXPECT_EQ(requests[0].head,
            "POST /open/1 HTTP/1.1\r\nContent-type: application/x-fcs\r\n"
            "User-Agent: Shockwave Flash\r\nHost: 127.0.0.1\r\nContent-Length: 1\r\n"
            "Connection: Keep-Alive\r\nCache-Control: no-cache\r\n\r\n");
  EXPECT_EQ(requests[0].body.size(), 1u);

  EXPECT_EQ(requests[1].method + " " + requests[1].path + " " + requests[1].version,
            "POST /send/sess42/0 HTTP/1.1");
  EXPECT_EQ(requests[1].Header("Content-Length"), "1537");
  EXPECT_EQ(requests[1].body.substr(0, 9), std::string("\x03\0\0\0\0\0\0\0\0", 9));

  // C2 is S1 with its time zeroed; "connect" follows as a type-0 message on
  // channel 3 cut into 128-byte pieces.
  const HttpRequest& third = requests[2];
  EXPECT_EQ(third.path, "/send/sess42/1");
  ASSERT_GT(third.body.size(), 1536u + 12u);
  EXPECT_EQ(third.body.substr(0, 1536), std::string(4, '\0') + s1.substr(4));
  const std::string rtmp = third.body.substr(1536);
  EXPECT_EQ(rtmp.substr(0, 4), std::string("\x03\0\0\0", 4));
  const size_t size = (static_cast<uint8_t>(rtmp[4]) << 16) | (static_cast<uint8_t>(rtmp[5]) << 8) |
                      static_cast<uint8_t>(rtmp[6]);
  EXPECT_EQ(rtmp.substr(7, 5), std::string("\x14\0\0\0\0", 5));
  std::string body;
  for (size_t pos = 12; pos < rtmp.size();) {
    if (!body.empty()) {
      ASSERT_EQ(static_cast<uint8_t>(rtmp[pos]), 0xC3) << "at " << pos;
      ++pos;
    }
    body += rtmp.substr(pos, 128);
    pos += 128;
  }
  EXPECT_EQ(body.size(), size);
  EXPECT_EQ(body.substr(0, 10), std::string("\x02\x00\x07"
                                            "connect",
                                            10));
  EXPECT_GT(size, 128u);  // so the continuation header was exercised

  EXPECT_STREQ(t.GetSessionId(), "sess42");
  EXPECT_EQ(t.GetSequence(), 2u);
  ASSERT_EQ(t.GetPendingCalls().size(), 1u);
  EXPECT_EQ(t.GetPendingCalls().front(), "connect");
}

// An empty answer's hint sets the wait that follows the idle request it
// makes (0x10: 400 ms), measured at the server as the gap to the next idle
// request; the later answers hint other intervals, so only that wait can
// satisfy it.
TEST(RtmptTunnel, AnAnswerWithoutDataMakesTheReaderPollAtTheHintedInterval) {
  RtmptScriptServer server;
  std::vector<HttpRequest> requests;
  std::chrono::steady_clock::duration waited{};
  auto t = OpenWith(server, [&](RtmptScriptConn& c) {
    c.Answer("\x10");
    HttpRequest idle;
    if (!c.ReadRequest(&idle)) return;
    const auto first = std::chrono::steady_clock::now();
    c.Answer("\x01");
    if (!c.ReadRequest(&idle)) return;
    waited = std::chrono::steady_clock::now() - first;
    c.Answer("\x01" + kAudio);
    requests = c.requests();
  });
  ASSERT_TRUE(t);
  RTMPPacket packet;
  EXPECT_EQ(t->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
  EXPECT_EQ(packet.packetType, RTMP_PACKET_AUDIO);
  EXPECT_EQ(t->GetPollingInterval(), 100);
  server.Join();
  // 400 ms less the moment the idle request took to arrive; the 100 ms the
  // other answers hint stay far below.
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[3].path, "/idle/sess42/2");
  EXPECT_EQ(requests[4].path, "/idle/sess42/3");
  EXPECT_EQ(requests[3].Header("Content-Length"), "1");
  EXPECT_EQ(requests[3].body, std::string(1, '\0'));
}

// The tunnel counts what its answers carry like a socket would, and sends an
// acknowledgement (a header request, then its 4-byte count) past each window.
TEST(RtmptTunnel, AcknowledgesEvery614400Bytes) {
  constexpr int kMessages = 70;
  constexpr uint32_t kBody = 10000;
  RtmptScriptServer server;
  std::vector<HttpRequest> requests;
  auto t = OpenWith(server, [&](RtmptScriptConn& c) {
    std::string data = Message(2, 1, chunk::Be(65536, 4));
    const std::string body(kBody, 'v');
    for (int i = 0; i < kMessages; ++i)
      data += chunk::Type0(4, static_cast<uint32_t>(i) * 40, kBody, 9, 1) + body;
    c.Answer("\x01" + data);
    HttpRequest r;
    while (c.ReadRequest(&r, 3000)) c.Answer("\x01");
    requests = c.requests();
  });
  ASSERT_TRUE(t);
  RTMPPacket packet;
  int media = 0;
  while (media < kMessages && t->GetNextMediaPacket(packet) == CRTMP::MEDIA_PACKET) {
    ++media;
    packet.Reset();
  }
  EXPECT_EQ(media, kMessages);
  const uint32_t received = t->GetBytesReceived();
  t->Close();
  server.Join();

  std::vector<uint32_t> counts;
  for (size_t i = 0; i + 1 < requests.size(); ++i) {
    const std::string& head = requests[i].body;
    if (requests[i].path.rfind("/send/", 0) != 0 || head.size() != 8 || head[0] != '\x42' ||
        head.substr(4) != std::string("\x00\x00\x04\x03", 4))
      continue;
    ASSERT_EQ(requests[i + 1].body.size(), 4u);
    uint32_t count = 0;
    for (char ch : requests[i + 1].body) count = (count << 8) | static_cast<uint8_t>(ch);
    counts.push_back(count);
  }
  ASSERT_EQ(counts.size(), 1u) << received;
  EXPECT_GT(counts[0], CRTMP::kAckWindow);
  EXPECT_LE(counts[0], received);
}

TEST(RtmptTunnel, PollingIntervalFollowsEveryHint) {
  struct Case {
    uint8_t hint;
    int intervalMs;
  };
  for (const Case& c : {Case{0x00, 80}, Case{0x01, 100}, Case{0x10, 400}, Case{0xFF, 5180}}) {
    RtmptScriptServer server;
    auto t = OpenWith(server, [&](RtmptScriptConn& conn) {
      conn.Answer(std::string(1, static_cast<char>(c.hint)) + kAudio);
      conn.WaitClosed();
    });
    ASSERT_TRUE(t);
    RTMPPacket packet;
    EXPECT_EQ(t->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
    EXPECT_EQ(t->GetPollingInterval(), c.intervalMs) << "hint " << int(c.hint);
    t->Close();
    server.Join();
  }
}

TEST(RtmptTunnel, AStatusOtherThan2xxFailsTheRead) {
  for (const char* status : {"404 Not Found", "500 Internal Server Error", "302 Found"}) {
    RtmptScriptServer server;
    auto t = OpenWith(server, [&](RtmptScriptConn& c) {
      c.Answer("\x01" + kAudio, status);
      c.WaitClosed();
    });
    ASSERT_TRUE(t);
    RTMPPacket packet;
    EXPECT_EQ(t->GetNextMediaPacket(packet), CRTMP::MEDIA_CLOSED) << status;
    EXPECT_FALSE(t->IsConnected()) << status;
    server.Join();
  }

  // During the handshake the same fails Connect.
  RtmptScriptServer server;
  server.Run([](RtmptScriptConn& c) {
    HttpRequest r;
    if (!c.ReadRequest(&r) || !c.Answer(kSession + "\n") || !c.ReadRequest(&r)) return;
    c.Answer("", "404 Not Found");
    c.WaitClosed();
  });
  CRTMPT t;
  EXPECT_FALSE(ConnectTo(t, server.port()));
  EXPECT_FALSE(t.IsConnected());
}

TEST(RtmptTunnel, AnInvokeGoesOutAsOneRequestPerHeaderAndPiece) {
  RtmptScriptServer server;
  std::vector<HttpRequest> requests;
  auto t = OpenWith(server, [&](RtmptScriptConn& c) {
    c.Answer(std::string(1, '\0'));
    HttpRequest r;
    for (int i = 0; i < 6 && c.ReadRequest(&r); ++i) c.Answer(std::string(1, '\0'));
    // The answers to the six were empty; one idle request follows, not six.
    if (c.ReadRequest(&r)) c.Answer(std::string(1, '\0') + kAudio);
    requests = c.requests();
  });
  ASSERT_TRUE(t);

  RTMPPacket invoke;
  invoke.channel = 3;
  invoke.headerType = RTMP_HEADER_FULL;
  invoke.packetType = RTMP_PACKET_INVOKE;
  invoke.bodySize = 300;
  ASSERT_TRUE(invoke.Alloc(300));
  const std::string name = amf0::String("test");
  std::copy(name.begin(), name.end(), invoke.body.get());
  ASSERT_TRUE(t->SendRTMP(invoke));

  RTMPPacket packet;
  EXPECT_EQ(t->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
  server.Join();
  ASSERT_EQ(requests.size(), 3u + 6u + 1u);
  const size_t sizes[] = {12, 128, 1, 128, 1, 44};
  for (int i = 0; i < 6; ++i) {
    const HttpRequest& r = requests[3 + i];
    EXPECT_EQ(r.path, "/send/sess42/" + std::to_string(2 + i));
    EXPECT_EQ(r.body.size(), sizes[i]) << "request " << i;
  }
  EXPECT_EQ(requests[3].body.substr(0, 1), "\x03");
  EXPECT_EQ(requests[5].body, "\xc3");
  EXPECT_EQ(requests[7].body, "\xc3");
  EXPECT_EQ(requests[4].body.substr(0, 7), name);
  EXPECT_EQ(requests[9].path, "/idle/sess42/8");
}

// Answers no tunnel server should give: each must fail the connection or the
// read, and nothing may be read or written out of bounds.
TEST(RtmptTunnel, UnusableAnswersFailCleanly) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: application/x-fcs\r\n";
  struct Case {
    const char* name;
    bool atOpen;  // the answer to /open/1, else to C2 + connect
    std::string answer;
  };
  const Case cases[] = {
      {"empty session id", true, ok + "Content-Length: 0\r\n\r\n"},
      {"session id too long", true,
       ok + "Content-Length: 201\r\n\r\n" + std::string(200, 'a') + "\n"},
      {"session id leaving no room in the path", true,
       ok + "Content-Length: 121\r\n\r\n" + std::string(120, 'a') + "\n"},
      {"line break inside the session id", true,
       ok + "Content-Length: 14\r\n\r\nab\r\nX-Evil: 1\n"},
      {"status line of one token", true, "HTTP/1.1\r\n\r\n"},
      {"endless header", true, ok + std::string(40000, 'A')},
      {"length above 32 bits", false, ok + "Content-Length: 99999999999\r\n\r\n\x01"},
      {"length that is not a number", false, ok + "Content-Length: 12x\r\n\r\n\x01"},
      {"body cut short", false, ok + "Content-Length: 1000\r\n\r\n\x01" + kAudio},
      {"connection closed before the answer", false, ""},
  };
  for (const Case& c : cases) {
    RtmptScriptServer server;
    server.Run([&](RtmptScriptConn& conn) {
      HttpRequest r;
      if (c.atOpen) {
        if (!conn.ReadRequest(&r)) return;
      } else if (!conn.AcceptTunnel(kSession, &r)) {
        return;
      }
      conn.SendRaw(c.answer);
      conn.Close();
    });
    CapturedDiag diag(DIAG_DEBUG);
    auto t = std::make_unique<CRTMPT>();
    bool connected = ConnectTo(*t, server.port());
    if (c.atOpen) {
      EXPECT_FALSE(connected) << c.name;
    } else {
      ASSERT_TRUE(connected) << c.name;
      // Whatever complete media came first is delivered; then the read fails.
      RTMPPacket packet;
      int result, media = 0;
      while ((result = t->GetNextMediaPacket(packet)) == CRTMP::MEDIA_PACKET && media < 2) ++media;
      EXPECT_EQ(result, CRTMP::MEDIA_CLOSED) << c.name;
    }
    EXPECT_FALSE(t->IsConnected()) << c.name;
    server.Join();
  }
}

TEST(RtmptTunnel, ANewMessageOnAChannelWithOneInProgressFailsTheRead) {
  // CRTMP would start the message over; the tunnelled client gives up.
  const std::string body(300, 'v');
  const std::string first = chunk::Type0(4, 0, 300, 9, 1) + body.substr(0, 128);
  RtmptScriptServer server;
  auto t = OpenWith(server, [&](RtmptScriptConn& c) {
    c.Answer("\x01" + first + first);
    c.WaitClosed();
  });
  ASSERT_TRUE(t);
  RTMPPacket packet;
  EXPECT_EQ(t->GetNextMediaPacket(packet), CRTMP::MEDIA_CLOSED);
  t->Close();
}

TEST(RtmptTunnel, TheFirstDurationInTheMetadataCounts) {
  const std::string metadata =
      amf0::String("onMetaData") +
      amf0::EcmaArray({{"info", amf0::Object({{"duration", amf0::Number(7)}})},
                       {"duration", amf0::Number(60)},
                       {"filesize", amf0::Number(1234)}});
  RtmptScriptServer server;
  auto t = OpenWith(server, [&](RtmptScriptConn& c) {
    c.Answer("\x01" + chunk::Type0(5, 0, static_cast<uint32_t>(metadata.size()), 18, 1) + metadata);
    c.WaitClosed();
  });
  ASSERT_TRUE(t);
  CapturedDiag diag(DIAG_ERROR);
  RTMPPacket packet;
  EXPECT_EQ(t->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
  EXPECT_EQ(t->GetDuration(), 7);
  EXPECT_EQ(t->GetFileSize(), 1234);
  EXPECT_EQ(diag.Count("\rMetadata:" + std::string(18, ' ') + "\n"), 1);
  t->Close();
}

}  // namespace
