// Command flow of CRTMP against the scripted server: command bodies byte for
// byte, the order of messages, and the reactions to server messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rtmp/rtmp.h"
#include "tests/peers/rtmp_script_server.h"

using namespace testpeers;

namespace {

// Bytes from hex text such as "00 3f f0".
std::string B(const std::string& hex) {
  std::string out;
  int nibble = -1;
  for (char c : hex) {
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<char>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

struct Params {
  const char* playpath = "clip";
  const char* swfUrl = nullptr;
  const char* pageUrl = nullptr;
  const char* auth = nullptr;
  const char* subscribe = nullptr;
  double seek = 0;
  double length = 0;
  bool live = false;
};

bool ConnectTo(CRTMP& rtmp, int port, const Params& p = Params()) {
  return rtmp.Connect(0, "127.0.0.1", port, p.playpath, "rtmp://127.0.0.1:1935/vod", p.swfUrl,
                      p.pageUrl, "vod", p.auth, "LNX 10,0,22,87", p.subscribe, p.seek, p.length,
                      p.live, 10000);
}

const std::string kVideo = B("17 01 00 00 00 de ad");

TEST(RtmpCommands, ConnectBodies) {
  const std::string head = B("02 00 07") + "connect" + B("00 3f f0 00 00 00 00 00 00") + B("03") +
                           B("00 03") + "app" + B("02 00 03") + "vod" + B("00 08") + "flashVer" +
                           B("02 00 0e") + "LNX 10,0,22,87";
  const std::string tcUrl = B("00 05") + "tcUrl" + B("02 00 19") + "rtmp://127.0.0.1:1935/vod";
  const std::string fixed = B("00 04") + "fpad" + B("01 00") + B("00 0c") + "capabilities" +
                            B("00 40 2e 00 00 00 00 00 00") + B("00 0b") + "audioCodecs" +
                            B("00 40 a8 ee 00 00 00 00 00") + B("00 0b") + "videoCodecs" +
                            B("00 40 6f 80 00 00 00 00 00") + B("00 0d") + "videoFunction" +
                            B("00 3f f0 00 00 00 00 00 00");
  const std::string end = B("00 00 09");

  struct Case {
    const char* name;
    Params params;
    std::string body;
  };
  Params all;
  all.swfUrl = "http://h/p.swf";
  all.pageUrl = "http://h/page";
  all.auth = "secret";
  const Case cases[] = {
      {"what the recorders give", Params(), head + tcUrl + fixed + end},
      {"every parameter", all,
       head + B("00 06") + "swfUrl" + B("02 00 0e") + "http://h/p.swf" + tcUrl + fixed +
           B("00 07") + "pageUrl" + B("02 00 0d") + "http://h/page" + end + B("01 01") +
           B("02 00 06") + "secret"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RtmpScriptServer server;
    RtmpMessage connect;
    server.Run([&](RtmpScriptConn& conn) {
      if (conn.Accept(&connect)) conn.WaitClosed();
    });
    auto rtmp = std::make_unique<CRTMP>();
    ASSERT_TRUE(ConnectTo(*rtmp, server.port(), c.params));
    rtmp->Close();
    server.Join();
    EXPECT_EQ(Hex(connect.body), Hex(c.body));
    EXPECT_EQ(connect.channel, 3);
    EXPECT_EQ(connect.type, 20);
    EXPECT_EQ(connect.streamId, 0u);
    ASSERT_FALSE(connect.headerTypes.empty());
    EXPECT_EQ(connect.headerTypes[0], 0);
  }
}

// The whole conversation up to the end of a stream, as the server sees it.
TEST(RtmpCommands, ConversationToTheEndOfTheStream) {
  RtmpScriptServer server;
  std::vector<RtmpMessage> seen;
  RtmpMessage setBuffer, pong, bw1, bw2;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay(1.9, &seen)) return;
    conn.ReadMessage(&setBuffer);
    // A verification request is not answered; the ping request after it is.
    conn.SendMessage(2, 4, 0, 0, B("00 1a 00 00 00 00"));
    conn.SendMessage(2, 4, 0, 0, B("00 06 00 00 30 39"));
    conn.ReadMessage(&pong);
    const std::string check = amf0::String("_onbwcheck") + amf0::Number(0) + amf0::Null();
    conn.SendMessage(3, 20, 0, 0, check);
    conn.ReadMessage(&bw1);
    conn.SendMessage(3, 20, 0, 0, check);
    conn.ReadMessage(&bw2);
    conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.Stop"));
    conn.WaitClosed();
  });
  auto rtmp = std::make_unique<CRTMP>();
  rtmp->SetBufferMS(36000000);
  ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
  RTMPPacket packet;
  EXPECT_EQ(rtmp->GetNextMediaPacket(packet), CRTMP::MEDIA_END);
  EXPECT_FALSE(rtmp->IsConnected());
  EXPECT_EQ(rtmp->GetStreamId(), 1);
  server.Join();

  ASSERT_EQ(seen.size(), 4u);
  // After the connect result: window acknowledgement size, buffer length of
  // stream 0, createStream.
  EXPECT_EQ(seen[0].channel, 2);
  EXPECT_EQ(seen[0].type, 5);
  EXPECT_EQ(Hex(seen[0].body), "00 13 12 d0");
  EXPECT_EQ(seen[1].channel, 2);
  EXPECT_EQ(seen[1].type, 4);
  EXPECT_EQ(Hex(seen[1].body), "00 03 00 00 00 00 00 00 01 2c");
  EXPECT_EQ(seen[2].channel, 3);
  EXPECT_EQ(seen[2].headerTypes, std::vector<int>{1});
  EXPECT_EQ(Hex(seen[2].body),
            Hex(B("02 00 0c") + "createStream" + B("00 40 00 00 00 00 00 00 00 05")));
  // After the createStream result (1.9 gives stream 1): play on stream 1,
  // then the buffer length of stream 1.
  EXPECT_EQ(seen[3].channel, 8);
  EXPECT_EQ(seen[3].headerTypes, std::vector<int>{0});
  EXPECT_EQ(seen[3].streamId, 1u);
  EXPECT_EQ(Hex(seen[3].body), Hex(B("02 00 04") + "play" + B("00 00 00 00 00 00 00 00 00 05") +
                                   B("02 00 04") + "clip" + B("00 00 00 00 00 00 00 00 00")));
  EXPECT_EQ(setBuffer.type, 4);
  EXPECT_EQ(Hex(setBuffer.body), "00 03 00 00 00 01 02 25 51 00");
  EXPECT_EQ(pong.type, 4);
  EXPECT_EQ(Hex(pong.body), "00 07 00 00 30 39");
  // Bandwidth-check replies count up, 22 ms apart.
  const std::string result = B("02 00 07") + "_result" + B("00 00 00 00 00 00 00 00 00 05");
  EXPECT_EQ(bw1.channel, 3);
  EXPECT_EQ(bw1.timestamp, 0u);
  EXPECT_EQ(Hex(bw1.body), Hex(result + B("00 00 00 00 00 00 00 00 00")));
  EXPECT_EQ(bw2.timestamp, 22u);
  EXPECT_EQ(Hex(bw2.body), Hex(result + B("00 3f f0 00 00 00 00 00 00")));
}

// A bandwidth check before the connect result: the reply to it expects no
// answer, so the results that follow still find connect and createStream.
TEST(RtmpCommands, BandwidthCheckBeforeTheConnectResult) {
  RtmpScriptServer server;
  RtmpMessage reply, create, play;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept()) return;
    conn.SendMessage(3, 20, 0, 0, amf0::String("_onbwcheck") + amf0::Number(0) + amf0::Null());
    if (!conn.ReadMessageOfType(20, &reply)) return;
    conn.SendMessage(3, 20, 0, 0, InvokeResult(1, amf0::Null()));
    if (!conn.ReadMessageOfType(20, &create)) return;
    conn.SendMessage(3, 20, 0, 0, InvokeResult(2, amf0::Number(1)));
    if (!conn.ReadMessageOfType(20, &play)) return;
    conn.SendMessage(5, 20, 0, 1, OnStatus("NetStream.Play.Stop"));
    conn.WaitClosed();
  });
  CRTMP rtmp;
  ASSERT_TRUE(ConnectTo(rtmp, server.port()));
  RTMPPacket packet;
  EXPECT_EQ(rtmp.GetNextMediaPacket(packet), CRTMP::MEDIA_END);
  server.Join();
  EXPECT_EQ(reply.body.substr(0, 10), B("02 00 07") + "_result");
  EXPECT_EQ(create.body.substr(0, 15), B("02 00 0c") + "createStream");
  EXPECT_EQ(play.body.substr(0, 7), B("02 00 04") + "play");
  EXPECT_EQ(play.streamId, 1u);
  // Replies and calls sent with transaction 0 (play) wait for nothing.
  EXPECT_TRUE(rtmp.GetPendingCalls().empty());
}

TEST(RtmpCommands, ServerMessagesDuringPlay) {
  struct Case {
    const char* name;
    uint8_t type;
    std::string body;
    int result;
    bool connected;
  };
  const Case cases[] = {
      {"stream not found", 20, OnStatus("NetStream.Play.StreamNotFound", "error"),
       CRTMP::MEDIA_CLOSED, false},
      {"play failed", 20, OnStatus("NetStream.Play.Failed", "error"), CRTMP::MEDIA_CLOSED, false},
      {"play stop", 20, OnStatus("NetStream.Play.Stop"), CRTMP::MEDIA_END, false},
      {"play complete", 20, OnStatus("NetStream.Play.Complete"), CRTMP::MEDIA_END, false},
      {"play stop as an AMF3 command", 17, B("00") + OnStatus("NetStream.Play.Stop"),
       CRTMP::MEDIA_END, false},
      {"server asks to close", 20, amf0::String("close") + amf0::Number(0) + amf0::Null(),
       CRTMP::MEDIA_CLOSED, false},
      {"play start is only logged", 20, OnStatus("NetStream.Play.Start"), CRTMP::MEDIA_PACKET,
       true},
      {"an error result is only logged", 20,
       amf0::String("_error") + amf0::Number(3) + amf0::Null(), CRTMP::MEDIA_PACKET, true},
      {"an undecodable invoke is skipped", 20, B("02 00 30") + "short", CRTMP::MEDIA_PACKET, true},
      {"an invoke without a method name is skipped", 20, amf0::Number(1), CRTMP::MEDIA_PACKET,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RtmpScriptServer server;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
      conn.SendMessage(5, c.type, 0, 1, c.body);
      conn.SendMessage(6, 9, 40, 1, kVideo);
      conn.WaitClosed();
    });
    auto rtmp = std::make_unique<CRTMP>();
    ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
    RTMPPacket packet;
    // One call reads the two results, the scripted message and what follows.
    EXPECT_EQ(rtmp->GetNextMediaPacket(packet), c.result);
    EXPECT_EQ(rtmp->IsConnected(), c.connected);
    if (c.result == CRTMP::MEDIA_PACKET) {
      EXPECT_EQ(packet.packetType, RTMP_PACKET_VIDEO);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet.body.get()), packet.bodySize),
                kVideo);
      EXPECT_TRUE(rtmp->IsPlaying());
    }
    rtmp->Close();
    server.Join();
  }
}

TEST(RtmpCommands, SubscribeAndPlayArguments) {
  const std::string play =
      B("02 00 04") + "play" + B("00 00 00 00 00 00 00 00 00 05") + B("02 00 04") + "clip";
  const std::string zero = B("00 00 00 00 00 00 00 00 00");
  auto subscribe = [](const std::string& path) {
    return B("02 00 0b") + "FCSubscribe" + B("00 00 00 00 00 00 00 00 00 05") + amf0::String(path);
  };
  struct Case {
    const char* name;
    Params params;
    std::string fcSubscribe;  // empty: none sent
    std::string play;
  };
  Params live;
  live.live = true;
  Params sub;
  sub.subscribe = "sub";
  Params seek;
  seek.seek = 5000;
  seek.length = 3000;
  const Case cases[] = {
      {"live stream subscribes to its playpath", live, subscribe("clip"),
       play + B("00 c0 8f 40 00 00 00 00 00")},
      {"a subscribe path is used as given", sub, subscribe("sub"), play + zero},
      {"seek and length", seek, "",
       play + B("00 40 b3 88 00 00 00 00 00") + B("00 40 a7 70 00 00 00 00 00")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RtmpScriptServer server;
    std::vector<RtmpMessage> seen;
    server.Run([&](RtmpScriptConn& conn) {
      if (conn.Accept() && conn.AnswerUntilPlay(1.0, &seen)) conn.WaitClosed();
    });
    auto rtmp = std::make_unique<CRTMP>();
    ASSERT_TRUE(ConnectTo(*rtmp, server.port(), c.params));
    RTMPPacket packet;
    // Reads the two results; the server then waits for the close.
    while (rtmp->GetStreamId() == 0 && rtmp->ReadPacket(packet)) {
      if (packet.IsComplete() && packet.packetType == RTMP_PACKET_INVOKE)
        rtmp->HandleInvoke(packet.body.get(), packet.bodySize);
      packet.Reset();
    }
    rtmp->Close();
    server.Join();
    ASSERT_EQ(seen.size(), c.fcSubscribe.empty() ? 4u : 5u);
    if (!c.fcSubscribe.empty()) {
      EXPECT_EQ(seen[3].channel, 3);
      EXPECT_EQ(Hex(seen[3].body), Hex(c.fcSubscribe));
    }
    EXPECT_EQ(Hex(seen.back().body), Hex(c.play));
  }
}

std::string FlvTag(uint8_t type, const std::string& data) {
  uint32_t n = static_cast<uint32_t>(data.size());
  return std::string(1, static_cast<char>(type)) + chunk::Be(n, 3) + B("00 00 00 00 00 00 00") +
         data + chunk::Be(n + 11, 4);
}

TEST(RtmpCommands, MetadataAndAggregates) {
  const std::string cue =
      amf0::String("onCuePoint") + amf0::Object({{"duration", amf0::Number(5)}});
  const std::string meta =
      amf0::String("onMetaData") + amf0::EcmaArray({{"duration", amf0::Number(60)},
                                                    {"filesize", amf0::Number(12345)},
                                                    {"width", amf0::Number(160)}});
  const std::string aggregate =
      FlvTag(18, amf0::String("onMetaData") + amf0::EcmaArray({{"duration", amf0::Number(30)}})) +
      FlvTag(9, kVideo);
  RtmpScriptServer server;
  RtmpMessage bufferPing;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept() || !conn.AnswerUntilPlay()) return;
    conn.ReadMessage(nullptr);  // buffer length after play
    conn.SendMessage(5, 18, 0, 1, cue);
    conn.SendMessage(5, 18, 0, 1, meta);
    conn.SendMessage(5, 22, 0, 1, aggregate);
    conn.SendMessage(6, 9, 40, 1, kVideo);
    conn.ReadMessageOfType(4, &bufferPing);
    conn.WaitClosed();
  });
  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
  RTMPPacket packet;
  // The cue point is dropped; the metadata comes back as media.
  ASSERT_EQ(rtmp->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
  EXPECT_EQ(packet.packetType, RTMP_PACKET_INFO);
  EXPECT_EQ(rtmp->GetDuration(), 60);
  EXPECT_EQ(rtmp->GetFileSize(), 12345);
  packet.Reset();
  // The aggregate comes back once, its metadata tag already read.
  ASSERT_EQ(rtmp->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
  EXPECT_EQ(packet.packetType, RTMP_PACKET_FLASH_VIDEO);
  EXPECT_EQ(packet.bodySize, aggregate.size());
  EXPECT_EQ(rtmp->GetDuration(), 30);
  packet.Reset();
  ASSERT_EQ(rtmp->GetNextMediaPacket(packet), CRTMP::MEDIA_PACKET);
  EXPECT_EQ(packet.packetType, RTMP_PACKET_VIDEO);
  EXPECT_EQ(packet.absTimestamp, 40);

  rtmp->SetBufferMS(39605000);
  rtmp->UpdateBufferMS();
  rtmp->Close();
  server.Join();
  EXPECT_EQ(Hex(bufferPing.body), Hex(B("00 03 00 00 00 01") + chunk::Be(39605000, 4)));
}

}  // namespace
