// Chunk layer of CRTMP against the scripted server: handshake, reassembly,
// sending, acknowledgements and closing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "rtmp/diag_log.h"
#include "rtmp/rtmp.h"
#include "tests/peers/rtmp_script_server.h"
#include "tests/support/child_process.h"

using namespace testpeers;

namespace {

std::string Pattern(size_t n, int seed) {
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s.push_back(static_cast<char>((i * 31 + static_cast<size_t>(seed)) & 0xFF));
  return s;
}

std::string BodyOf(const RTMPPacket& p) {
  return p.body ? std::string(reinterpret_cast<const char*>(p.body.get()), p.bodySize)
                : std::string();
}

bool ConnectTo(CRTMP& rtmp, int port, int timeout_ms = 10000) {
  return rtmp.Connect(0, "127.0.0.1", port, "clip", "rtmp://127.0.0.1:1935/vod", nullptr, nullptr,
                      "vod", nullptr, "LNX 10,0,22,87", nullptr, 0, 0, false, timeout_ms);
}

TEST(RtmpHandshake, SendsZeroTimesAndEchoesServerSignature) {
  RtmpScriptServer server;
  std::string c0c1, c2, s1;
  RtmpMessage connect;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept(&connect)) return;
    c0c1 = conn.c0c1();
    c2 = conn.c2();
    s1 = conn.s1();
    conn.WaitClosed();
  });
  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
  EXPECT_TRUE(rtmp->IsConnected());
  rtmp->Close();
  server.Join();

  ASSERT_EQ(c0c1.size(), 1537u);
  EXPECT_EQ(c0c1.substr(0, 9), std::string(9, '\0').replace(0, 1, "\x03"));
  ASSERT_EQ(c2.size(), 1536u);
  EXPECT_EQ(c2.substr(0, 4), std::string(4, '\0'));
  EXPECT_EQ(c2.substr(4), s1.substr(4));
  EXPECT_EQ(connect.channel, 3);
  EXPECT_EQ(connect.type, 20);
}

TEST(RtmpHandshake, ShortServerReplyFailsConnect) {
  RtmpScriptServer server;
  server.Run([](RtmpScriptConn& conn) {
    std::string c0c1;
    if (!conn.ReadRaw(1537, &c0c1)) return;
    conn.Send(std::string("\x03", 1) + std::string(700, 'x'));
    conn.Close();
  });
  auto rtmp = std::make_unique<CRTMP>();
  EXPECT_FALSE(ConnectTo(*rtmp, server.port()));
  EXPECT_FALSE(rtmp->IsConnected());
  server.Join();
}

TEST(RtmpConnect, RefusedPortFails) {
  auto rtmp = std::make_unique<CRTMP>();
  EXPECT_FALSE(ConnectTo(*rtmp, testsupport::FreeTcpPort()));
  EXPECT_FALSE(rtmp->IsConnected());
}

// ------------------------------------------------------------ reading chunks

enum Outcome { INCOMPLETE, COMPLETE, FAIL };

struct ReadStep {
  Outcome outcome;
  int channel = 0;
  uint8_t type = 0;
  uint32_t absTimestamp = 0;
  std::string body;
};

struct ChunkCase {
  const char* name;
  std::string bytes;  // sent after the connect command
  std::vector<ReadStep> steps;
  bool serverCloses = false;
};

ReadStep Part(int channel) { return {INCOMPLETE, channel, 0, 0, {}}; }
ReadStep Whole(int channel, uint8_t type, uint32_t ts, std::string body) {
  return {COMPLETE, channel, type, ts, std::move(body)};
}
ReadStep Fails() { return {FAIL, 0, 0, 0, {}}; }

std::vector<ChunkCase> ChunkCases() {
  using namespace chunk;
  const std::string b300 = Pattern(300, 1), a300 = Pattern(300, 2), v300 = Pattern(300, 3);
  const std::string ten = Pattern(10, 4), four = Pattern(4, 5);
  std::vector<ChunkCase> cases;

  cases.push_back({"300 bytes in 128-byte chunks",
                   Type0(4, 500, 300, 9, 1) + b300.substr(0, 128) + Type3(4) +
                       b300.substr(128, 128) + Type3(4) + b300.substr(256),
                   {Part(4), Part(4), Whole(4, 9, 500, b300)}});
  cases.push_back({"type-2 delta adds to the channel's last timestamp",
                   Type0(6, 1000, 10, 8, 1) + ten + Type2(6, 40) + ten,
                   {Whole(6, 8, 1000, ten), Whole(6, 8, 1040, ten)}});
  cases.push_back({"timestamp just below the extended range reads no extension",
                   Type0(4, 0xFFFFFE, 4, 9, 1) + four + Type0(4, 7, 4, 9, 1) + four,
                   {Whole(4, 9, 0xFFFFFE, four), Whole(4, 9, 7, four)}});
  cases.push_back({"timestamp 0xFFFFFF comes in the extended field",
                   Type0(4, 0xFFFFFF, 4, 9, 1) + four + Type0(4, 7, 4, 9, 1) + four,
                   {Whole(4, 9, 0xFFFFFF, four), Whole(4, 9, 7, four)}});
  cases.push_back({"extended timestamp repeated in continuation chunks",
                   Type0(4, 0x12345678, 300, 9, 1) + b300.substr(0, 128) + Type3(4) +
                       Be(0x12345678, 4) + b300.substr(128, 128) + Type3(4) + Be(0x12345678, 4) +
                       b300.substr(256) + Type0(4, 9, 4, 8, 1) + four,
                   {Part(4), Part(4), Whole(4, 9, 0x12345678, b300), Whole(4, 8, 9, four)}});
  cases.push_back({"extended delta in a type-1 header",
                   Type0(5, 0x01000000, 4, 8, 1) + four + Type1(5, 0x01000000, 4, 8) + four,
                   {Whole(5, 8, 0x01000000, four), Whole(5, 8, 0x02000000, four)}});
  cases.push_back(
      {"audio and video chunks interleaved",
       Type0(4, 0, 300, 8, 1) + a300.substr(0, 128) + Type0(6, 40, 300, 9, 1) +
           v300.substr(0, 128) + Type3(4) + a300.substr(128, 128) + Type3(6) +
           v300.substr(128, 128) + Type3(4) + a300.substr(256) + Type3(6) + v300.substr(256),
       {Part(4), Part(6), Part(4), Part(6), Whole(4, 8, 0, a300), Whole(6, 9, 40, v300)}});
  cases.push_back({"two- and three-byte basic headers",
                   Type0(74, 1, 4, 8, 1) + four + std::string("\x01\x10\x02", 3) +
                       Type0(592, 2, 4, 9, 1).substr(3) + four,
                   {Whole(74, 8, 1, four), Whole(592, 9, 2, four)}});
  cases.push_back({"Set Chunk Size 4096 lets 300 bytes come in one chunk",
                   Type0(2, 0, 4, 1, 0) + Be(4096, 4) + Type0(4, 3, 300, 9, 1) + b300,
                   {Whole(2, 1, 0, Be(4096, 4)), Whole(4, 9, 3, b300)}});
  cases.push_back({"Set Chunk Size 0 is ignored",
                   Type0(2, 0, 4, 1, 0) + Be(0, 4) + Type0(4, 3, 300, 9, 1) + b300.substr(0, 128) +
                       Type3(4) + b300.substr(128, 128) + Type3(4) + b300.substr(256),
                   {Whole(2, 1, 0, Be(0, 4)), Part(4), Part(4), Whole(4, 9, 3, b300)}});
  cases.push_back({"body cut off by the server",
                   Type0(4, 0, 300, 9, 1) + b300.substr(0, 128) + Type3(4) + b300.substr(128, 50),
                   {Part(4), Fails()},
                   true});
  {
    // Four 16 MiB messages may be in progress at once; a fifth is refused
    // before anything is allocated for it.
    std::string bytes;
    std::vector<ReadStep> steps;
    for (int ch = 10; ch < 15; ++ch) bytes += Type0(ch, 0, 0xFFFFFF, 9, 1) + Pattern(128, ch);
    for (int ch = 10; ch < 14; ++ch) steps.push_back(Part(ch));
    steps.push_back(Fails());
    cases.push_back({"incomplete bodies are bounded in total", bytes, steps});
  }
  return cases;
}

TEST(RtmpReadPacket, ReassemblesChunks) {
  for (const ChunkCase& c : ChunkCases()) {
    SCOPED_TRACE(c.name);
    RtmpScriptServer server;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept()) return;
      conn.Send(c.bytes);
      if (c.serverCloses)
        conn.Close();
      else
        conn.WaitClosed();
    });
    auto rtmp = std::make_unique<CRTMP>();
    ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
    RTMPPacket packet;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const ReadStep& want = c.steps[i];
      SCOPED_TRACE("read " + std::to_string(i + 1));
      bool ok = rtmp->ReadPacket(packet);
      if (want.outcome == FAIL) {
        EXPECT_FALSE(ok);
        break;
      }
      ASSERT_TRUE(ok);
      EXPECT_EQ(packet.channel, want.channel);
      if (want.outcome == INCOMPLETE) {
        EXPECT_FALSE(packet.IsComplete());
        int channel = packet.channel;
        packet.Reset();
        packet.channel = channel;
        continue;
      }
      ASSERT_TRUE(packet.IsComplete());
      EXPECT_EQ(packet.packetType, want.type);
      EXPECT_EQ(static_cast<uint32_t>(packet.absTimestamp), want.absTimestamp);
      EXPECT_EQ(BodyOf(packet), want.body);
      if (packet.packetType == RTMP_PACKET_CHUNK_SIZE) rtmp->HandleChangeChunkSize(packet);
      packet.Reset();
    }
    rtmp->Close();
    server.Join();
  }
}

// A hostile server: chunk streams built from random messages (random
// channels, types, sizes, header forms, chunk sizes and AMF-looking bodies),
// two messages interleaved at a time, then a few bytes flipped. The client
// must only ever end the stream; the sanitizers watch every access.
std::string RandomChunkStream(uint32_t seed) {
  std::mt19937 rng(seed);
  const uint8_t types[] = {4, 8, 9, 17, 18, 20, 22, 3, 5, 6, 0, 30};
  const std::string prefixes[] = {amf0::String("onMetaData"),
                                  amf0::String("onStatus"),
                                  amf0::String("_result"),
                                  amf0::String("_onbwcheck"),
                                  std::string("\x08\x00\x00\x00\x01", 5),
                                  std::string()};
  uint32_t chunkSize = 128;
  std::map<int, bool> started;
  std::string out;
  while (out.size() < 96 * 1024) {
    if (rng() % 16 == 0) {
      chunkSize = 1 + rng() % 300;
      out += chunk::Type0(2, 0, 4, 1, 0) + chunk::Be(chunkSize, 4);
      continue;
    }
    struct Msg {
      int channel;
      std::string header, ext, body;
      size_t pos = 0;
    };
    std::vector<Msg> msgs;
    for (int k = 0; k < 2; ++k) {
      Msg m;
      m.channel = 3 + static_cast<int>(rng() % 2 == 0 ? rng() % 8 : rng() % 700) + k * 701;
      uint8_t type = types[rng() % std::size(types)];
      m.body = prefixes[rng() % std::size(prefixes)];
      size_t extra = rng() % 3 == 0 ? rng() % 2000 : rng() % 40;
      for (size_t i = 0; i < extra; ++i)
        m.body.push_back(static_cast<char>(rng() % 8 == 0 ? 9 : rng()));
      uint32_t len = static_cast<uint32_t>(m.body.size());
      uint32_t ts = rng() % 4 == 0 ? 0xFFFFF0 + rng() % 32 : rng() % 5000;
      if (ts >= 0xFFFFFF) m.ext = chunk::Be(ts, 4);  // repeated in continuation chunks
      if (!started[m.channel] || rng() % 3 == 0)
        m.header = chunk::Type0(m.channel, ts, len, type, 1);
      else
        m.header = chunk::Type1(m.channel, ts, len, type);
      started[m.channel] = true;
      msgs.push_back(std::move(m));
    }
    for (bool more = true; more;) {
      more = false;
      for (Msg& m : msgs) {
        if (m.pos > m.body.size() || (m.pos == m.body.size() && m.pos > 0)) continue;
        out += m.pos == 0 ? m.header : chunk::Type3(m.channel) + m.ext;
        out += m.body.substr(m.pos, chunkSize);
        m.pos += m.body.empty() ? 1 : std::min<size_t>(chunkSize, m.body.size() - m.pos);
        more = true;
      }
    }
  }
  for (int i = 0; i < 6; ++i) out[rng() % out.size()] = static_cast<char>(rng());
  return out;
}

TEST(RtmpReadPacket, SurvivesRandomChunkStreams) {
  const int savedLevel = DiagLevel;
  DiagLevel = -1;  // the decoders complain about every bad byte
  int media = 0;
  for (uint32_t seed = 1; seed <= 16; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::string bytes = RandomChunkStream(seed);
    RtmpScriptServer server;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept()) return;
      conn.Send(bytes);
      conn.ShutdownSend();
      conn.WaitClosed();
    });
    auto rtmp = std::make_unique<CRTMP>();
    ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
    RTMPPacket packet;
    int result;
    while ((result = rtmp->GetNextMediaPacket(packet)) == CRTMP::MEDIA_PACKET) {
      ++media;
      packet.Reset();
    }
    EXPECT_FALSE(rtmp->IsConnected());
    rtmp->Close();
    server.Join();
  }
  DiagLevel = savedLevel;
  // The streams are well-formed up to the flipped bytes, so media does arrive.
  EXPECT_GT(media, 0);
}

// ------------------------------------------------------------ sending

// A call that expects an answer: transaction 3.
std::string InvokeBody(size_t size, int seed) {
  std::string s = amf0::String("test") + amf0::Number(3);
  return s + Pattern(size - s.size(), seed);
}

bool SendInvoke(CRTMP& rtmp, int channel, uint8_t headerType, int32_t ts, const std::string& body) {
  RTMPPacket p;
  p.channel = channel;
  p.headerType = headerType;
  p.packetType = RTMP_PACKET_INVOKE;
  p.timestamp = ts;
  p.bodySize = static_cast<uint32_t>(body.size());
  p.Alloc(p.bodySize);
  std::copy(body.begin(), body.end(), p.body.get());
  return rtmp.SendRTMP(p);
}

TEST(RtmpSendRTMP, ChunksInvokesAtTheChunkSize) {
  const std::string body = InvokeBody(300, 7);
  RtmpScriptServer server;
  RtmpMessage small, large;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept()) return;
    conn.ReadMessage(&small);
    conn.SendChunkSize(4096);
    conn.set_client_chunk_size(4096);
    conn.ReadMessage(&large);
    conn.WaitClosed();
  });
  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
  ASSERT_TRUE(SendInvoke(*rtmp, 5, RTMP_HEADER_FULL, 0, body));
  RTMPPacket packet;
  ASSERT_TRUE(rtmp->ReadPacket(packet));
  rtmp->HandleChangeChunkSize(packet);
  EXPECT_EQ(rtmp->GetChunkSize(), 4096);
  ASSERT_TRUE(SendInvoke(*rtmp, 5, RTMP_HEADER_FULL, 0, body));
  rtmp->Close();
  server.Join();

  using namespace std::string_literals;
  const std::string header = "\x05\x00\x00\x00\x00\x01\x2c\x14\x00\x00\x00\x00"s;
  EXPECT_EQ(Hex(small.raw), Hex(header + body.substr(0, 128) + "\xc5" + body.substr(128, 128) +
                                "\xc5" + body.substr(256)));
  EXPECT_EQ(Hex(large.raw), Hex(header + body));
  EXPECT_EQ(large.body, body);
}

TEST(RtmpSendRTMP, CompressesHeadersOnlyWhenFieldsRepeat) {
  struct Case {
    const char* name;
    size_t secondSize;
    int32_t secondTimestamp;
    int expectedType;
  };
  const Case cases[] = {
      {"same size, stream and timestamp", 40, 0, 3},
      {"same size, other timestamp", 40, 22, 2},
      {"other size", 41, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RtmpScriptServer server;
    RtmpMessage first, second;
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept()) return;
      conn.ReadMessage(&first);
      conn.ReadMessage(&second);
      conn.WaitClosed();
    });
    auto rtmp = std::make_unique<CRTMP>();
    ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
    // Channel 3 already carried "connect" with a full header.
    ASSERT_TRUE(SendInvoke(*rtmp, 3, RTMP_HEADER_MEDIUM, 0, InvokeBody(40, 1)));
    ASSERT_TRUE(
        SendInvoke(*rtmp, 3, RTMP_HEADER_MEDIUM, c.secondTimestamp, InvokeBody(c.secondSize, 2)));
    rtmp->Close();
    server.Join();
    EXPECT_EQ(first.headerTypes, std::vector<int>{1});
    EXPECT_EQ(second.headerTypes, std::vector<int>{c.expectedType});
    EXPECT_EQ(second.body, InvokeBody(c.secondSize, 2));
    EXPECT_EQ(second.timestamp, static_cast<uint32_t>(c.secondTimestamp));
  }
}

TEST(RtmpSendRTMP, WritesExtendedTimestampsAndRecordsCalls) {
  const std::string body = InvokeBody(200, 3);
  RtmpScriptServer server;
  RtmpMessage m;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept()) return;
    conn.ReadMessage(&m);
    conn.WaitClosed();
  });
  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
  ASSERT_TRUE(SendInvoke(*rtmp, 5, RTMP_HEADER_FULL, 0x01000000, body));
  rtmp->Close();
  server.Join();

  using namespace std::string_literals;
  EXPECT_EQ(Hex(m.raw), Hex("\x05\xff\xff\xff\x00\x00\xc8\x14\x00\x00\x00\x00\x01\x00\x00\x00"s +
                            body.substr(0, 128) + "\xc5\x01\x00\x00\x00"s + body.substr(128)));
  EXPECT_EQ(m.timestamp, 0x01000000u);
  const auto& calls = rtmp->GetPendingCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "connect");
  EXPECT_EQ(calls[1], "test");
}

TEST(RtmpSendRTMP, RefusesChannelsTheOneByteHeaderCannotName) {
  auto rtmp = std::make_unique<CRTMP>();
  RTMPPacket p;
  p.channel = 64;
  p.packetType = RTMP_PACKET_INVOKE;
  EXPECT_FALSE(rtmp->SendRTMP(p));
}

// ------------------------------------------------------------ acknowledgements

TEST(RtmpReadN, AcknowledgesEvery614400Bytes) {
  constexpr int kMessages = 200;
  constexpr uint32_t kBody = 10000;
  RtmpScriptServer server;
  std::vector<RtmpMessage> acks;
  server.Run([&](RtmpScriptConn& conn) {
    if (!conn.Accept()) return;
    conn.SendChunkSize(65536);
    std::string all;
    const std::string body = Pattern(kBody, 9);
    for (int i = 0; i < kMessages; ++i)
      all += chunk::Type0(4, static_cast<uint32_t>(i) * 40, kBody, 9, 1) + body;
    conn.Send(all);
    RtmpMessage m;
    while (conn.ReadMessage(&m))
      if (m.type == 3) acks.push_back(m);
  });
  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(ConnectTo(*rtmp, server.port()));
  RTMPPacket packet;
  int media = 0;
  while (media < kMessages && rtmp->GetNextMediaPacket(packet) == CRTMP::MEDIA_PACKET) {
    ++media;
    packet.Reset();
  }
  EXPECT_EQ(media, kMessages);
  // Handshake, the chunk size message and the media, all counted.
  const uint32_t total = 1 + 1536 + 1536 + 16 + kMessages * (12 + kBody);
  EXPECT_EQ(rtmp->GetBytesReceived(), total);
  rtmp->Close();
  server.Join();

  ASSERT_EQ(acks.size(), 3u);
  uint32_t last = 0;
  for (const RtmpMessage& ack : acks) {
    EXPECT_EQ(ack.channel, 2);
    ASSERT_EQ(ack.body.size(), 4u);
    uint32_t count = 0;
    for (char ch : ack.body) count = (count << 8) | static_cast<uint8_t>(ch);
    // Sent by the read that passes the window, with the count at that point:
    // past the window by less than one receive buffer.
    EXPECT_GT(count - last, CRTMP::kAckWindow);
    EXPECT_LE(count - last, CRTMP::kAckWindow + CRTMP::kBufferSize);
    EXPECT_LE(count, total);
    last = count;
  }
}

// ------------------------------------------------------------ closing

TEST(RtmpClose, FromAnotherThreadEndsABlockedRead) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    RtmpScriptServer server;
    std::atomic<bool> sent{false};
    server.Run([&](RtmpScriptConn& conn) {
      if (!conn.Accept()) return;
      // Half a message, so the reader holds a partial body while it waits.
      conn.Send(chunk::Type0(4, 0, 300, 9, 1) + Pattern(128, 1));
      sent = true;
      sent.notify_all();
      conn.WaitClosed(20000);
    });
    auto rtmp = std::make_unique<CRTMP>();
    std::atomic<bool> connected{false};
    std::atomic<int> result{-1};
    // The worker connects and reads; this thread plays the user interface.
    std::thread worker([&] {
      connected = ConnectTo(*rtmp, server.port(), 60000);
      sent.wait(false);
      RTMPPacket packet;
      if (connected) result = rtmp->GetNextMediaPacket(packet);
      rtmp->Close();
    });
    sent.wait(false);
    std::this_thread::sleep_for(std::chrono::microseconds(250 * round));
    rtmp->Close();
    worker.join();
    ASSERT_TRUE(connected);
    EXPECT_EQ(result, CRTMP::MEDIA_CLOSED);
    EXPECT_FALSE(rtmp->IsConnected());
    server.Join();
  }
}

TEST(RtmpClose, ReceiveTimeOutEndsTheStream) {
  RtmpScriptServer server;
  server.Run([](RtmpScriptConn& conn) {
    if (conn.Accept()) conn.WaitClosed(20000);  // silent after the connect
  });
  auto rtmp = std::make_unique<CRTMP>();
  ASSERT_TRUE(ConnectTo(*rtmp, server.port(), 200));
  RTMPPacket packet;
  EXPECT_EQ(rtmp->GetNextMediaPacket(packet), CRTMP::MEDIA_CLOSED);
  EXPECT_FALSE(rtmp->IsConnected());
  server.Join();
}

}  // namespace
