// FLV bytes from media messages and the filter that joins a continued stream
// to its file, fed from a scripted message source.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "rtmp/amf.h"
#include "rtmp/rtmp.h"
#include "rtmp/rtmp_download.h"

namespace {

struct Message {
  uint8_t type;
  uint32_t timestamp;
  std::string body;
  int result = CRTMP::MEDIA_PACKET;
};

class ScriptedSource : public MediaSource {
 public:
  std::deque<Message> messages;
  void Close() override {}
  int GetNextMediaPacket(RTMPPacket& packet) override {
    if (messages.empty()) return CRTMP::MEDIA_CLOSED;
    Message m = messages.front();
    messages.pop_front();
    packet.packetType = m.type;
    packet.absTimestamp = int32_t(m.timestamp);
    if (!m.body.empty()) {
      packet.bodySize = uint32_t(m.body.size());
      packet.Alloc(int64_t(m.body.size()));
      std::memcpy(packet.body.get(), m.body.data(), m.body.size());
      packet.bytesRead = packet.bodySize;
    }
    return m.result;
  }
  bool IsConnected() const override { return !messages.empty(); }
  double GetDuration() const override { return 0; }
  double GetFileSize() const override { return 0; }
  void SetBufferMS(int) override {}
  void UpdateBufferMS() override {}
  void ReadMetaData(const AMFObject&) override {}
};

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(char(b));
  return s;
}

std::string Be(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s.push_back(char(v >> (8 * i)));
  return s;
}

// An FLV tag inside an aggregate, with or without its trailer.
std::string Tag(uint8_t type, uint32_t ts, const std::string& data, bool trailer = true) {
  std::string s = std::string(1, char(type)) + Be(uint32_t(data.size()), 3) + Be(ts & 0xFFFFFF, 3) +
                  std::string(1, char(ts >> 24)) + Be(0, 3) + data;
  if (trailer) s += Be(uint32_t(data.size()) + 11, 4);
  return s;
}

class FlvTags : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(d.AllocateOutputBuffer()); }

  // NextTag's count and the bytes it produced.
  int Next(std::string* out = nullptr) {
    const int n = d.NextTag(source, timestamp);
    if (out && n > 0) out->assign(reinterpret_cast<const char*>(d.buffer.get()), size_t(n));
    return n;
  }

  // Resume mode as InspectFile leaves it: keyframe `frame` at `ts` in the file.
  void Resuming(const std::string& frame, uint32_t ts) {
    d.resume = true;
    d.resumeTimestamp = ts;
    d.resumeFrame = CRTMPDownload::ResumeFrame{9, std::vector<uint8_t>(frame.begin(), frame.end())};
    d.ResetResumeFilter();
  }

  CRTMPDownload d;
  ScriptedSource source;
  uint32_t timestamp = 0;
};

TEST_F(FlvTags, Header) {
  uint8_t header[16] = {};
  EXPECT_EQ(CRTMPDownload::WriteHeader(header), 13);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 13),
            Bytes({0x46, 0x4C, 0x56, 0x01, 0x05, 0, 0, 0, 0x09, 0, 0, 0, 0}));
}

TEST_F(FlvTags, MediaMessagesBecomeTags) {
  const std::string audio(100, 'a');
  source.messages = {{8, 0x01020304, audio}, {9, 40, Bytes({0x27, 1, 2})}};
  std::string out;
  ASSERT_EQ(Next(&out), 115);
  EXPECT_EQ(out, Bytes({0x08, 0, 0, 0x64, 0x02, 0x03, 0x04, 0x01, 0, 0, 0}) + audio +
                     Bytes({0, 0, 0, 0x6F}));
  EXPECT_EQ(timestamp, 0x01020304u);
  EXPECT_EQ(d.mediaFlags, 0x04);
  ASSERT_EQ(Next(&out), 18);
  EXPECT_EQ(d.mediaFlags, 0x05);
}

TEST_F(FlvTags, NothingToWrite) {
  source.messages = {{8, 0, ""},                   // empty body
                     {9, 0, Bytes({0x52, 0x00})},  // 2-byte video info frame
                     {9, 80, Bytes({0x17, 1, 9}), CRTMP::MEDIA_END}};
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Next(), 0);  // the end of the stream
  EXPECT_EQ(Next(), -1);
  EXPECT_EQ(d.mediaFlags, 0x01);
}

TEST_F(FlvTags, Aggregates) {
  struct Case {
    const char* name;
    std::string body;
    int count;  // NextTag's result
    std::string written;
    uint32_t lastTimestamp;
  };
  const std::string a = Tag(8, 100, "AAAA");
  const std::string v = Tag(9, 140, "VV");
  std::string wrongTrailer = v;
  wrongTrailer.back() = 0x7F;
  const Case cases[] = {
      {"complete", a + v, int((a + v).size()), a + v, 140},
      {"last trailer missing", a + Tag(9, 140, "VV", false), int((a + v).size()), a + v, 140},
      {"wrong trailer corrected", a + wrongTrailer, int((a + v).size()), a + v, 140},
      {"data runs past the end", a + Tag(9, 140, "VV", false).substr(0, 12), -2, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    source.messages = {{22, 0, c.body}};
    d.mediaFlags = 0;
    timestamp = 0;
    std::string out;
    EXPECT_EQ(Next(&out), c.count);
    EXPECT_EQ(out, c.written);
    if (c.count > 0) {
      EXPECT_EQ(timestamp, c.lastTimestamp);
      EXPECT_EQ(d.mediaFlags, 0x05);
    }
  }
}

TEST_F(FlvTags, MessageLargerThanTheBufferGrowsIt) {
  const std::string big(CRTMPDownload::kOutputBufferSize + 100, 'x');
  source.messages = {{9, 0, big}};
  std::string out;
  ASSERT_EQ(Next(&out), int(big.size()) + 15);
  EXPECT_EQ(out.substr(11, big.size()), big);
}

const std::string kKey = Bytes({0x17, 1, 0, 0, 0, 'k', 'e', 'y'});

TEST_F(FlvTags, ResumeSkipsTheStoredKeyframe) {
  Resuming(kKey, 5000);
  source.messages = {{9, 0, kKey}, {8, 20, "sound"}, {9, 40, Bytes({0x27, 1})}};
  EXPECT_EQ(Next(), 0);  // already in the file
  std::string out;
  ASSERT_EQ(Next(&out), 20);
  EXPECT_EQ(out.substr(4, 3), Be(5020, 3));
  ASSERT_GT(Next(&out), 0);
  EXPECT_EQ(timestamp, 5040u);
}

TEST_F(FlvTags, ResumeGivesUpAfterFiftyIgnoredMessages) {
  for (int limit : {50, 51}) {
    SCOPED_TRACE(limit);
    Resuming(kKey, 5000);
    source.messages.clear();
    for (int i = 0; i < limit; ++i) source.messages.push_back({9, 0, Bytes({0x27, 1, 2})});
    source.messages.push_back({9, 0, kKey});
    int last = 0;
    for (int i = 0; i < limit; ++i) last = Next();
    EXPECT_EQ(last, limit > 50 ? -2 : 0);
    if (limit == 50) {
      EXPECT_EQ(Next(), 0);  // the keyframe: joined
    }
  }
}

TEST_F(FlvTags, ResumeRefusesOtherMetadata) {
  AMFObject probe;
  const std::string meta = Bytes({2, 0, 10}) + "onMetaData" + Bytes({5});
  Resuming(kKey, 5000);
  d.metadata = std::vector<uint8_t>(meta.begin(), meta.end());
  source.messages = {{18, 0, meta}, {18, 0, meta + Bytes({5})}};
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Next(), -2);
}

// A server that answers the seek on the file's own timeline (nginx does).
// What it sends before the keyframe is in the file already and is dropped.
// While those timestamps climb toward the keyframe the server is delivering
// (one that cannot seek replays from the start), so they do not count toward
// the limit of 50; messages that do not climb do.
struct BeforeKeyframe {
  const char* name;
  int count;
  uint32_t step;  // timestamp increase from one dropped message to the next
  bool joins;
};

const BeforeKeyframe kBeforeKeyframe[] = {
    {"ClimbingPastTheLimit", 200, 20, true},
    {"StandingStillAtTheLimit", 50, 0, true},
    {"StandingStillPastTheLimit", 51, 0, false},
};

// Dropped message i of `c`, from 1000 on.
uint32_t DroppedTimestamp(const BeforeKeyframe& c, int i) {
  return 1000 + c.step * uint32_t(i);
}

TEST_F(FlvTags, ResumeFromServerKeepingTheTimeline) {
  for (const BeforeKeyframe& c : kBeforeKeyframe) {
    SCOPED_TRACE(c.name);
    Resuming(kKey, 5000);
    source.messages.clear();
    // The first drop climbs from nothing and is free; standing ones count after it.
    const int sent = c.step == 0 ? c.count + 1 : c.count;
    for (int i = 0; i < sent; ++i) source.messages.push_back({8, DroppedTimestamp(c, i), "old"});
    source.messages.push_back({9, 5000, kKey});
    source.messages.push_back({8, 5020, "new"});
    int last = 0;
    for (int i = 0; i < sent; ++i) last = Next();
    if (!c.joins) {
      EXPECT_EQ(last, -2);
      continue;
    }
    EXPECT_EQ(last, 0);
    EXPECT_EQ(Next(), 0);  // the keyframe, already in the file
    std::string out;
    ASSERT_EQ(Next(&out), 18);
    EXPECT_EQ(out.substr(4, 3), Be(5020, 3));  // not shifted again
  }
}

// The same server sending aggregates: the one holding the keyframe is cut
// after it, those before it are dropped by the same rule.
TEST_F(FlvTags, ResumeFromServerKeepingTheTimelineInAggregates) {
  const std::string after = Tag(8, 5020, "AA") + Tag(9, 5040, Bytes({0x27, 1}));
  for (const BeforeKeyframe& c : kBeforeKeyframe) {
    SCOPED_TRACE(c.name);
    Resuming(kKey, 5000);
    source.messages.clear();
    const int sent = c.step == 0 ? c.count + 1 : c.count;
    for (int i = 0; i < sent; ++i) {
      const uint32_t ts = DroppedTimestamp(c, i);
      source.messages.push_back({22, ts, Tag(8, ts, "old")});
    }
    source.messages.push_back({22, 4990, Tag(8, 4990, "AA") + Tag(9, 5000, kKey) + after});
    int last = 0;
    for (int i = 0; i < sent; ++i) last = Next();
    if (!c.joins) {
      EXPECT_EQ(last, -2);
      continue;
    }
    EXPECT_EQ(last, 0);
    std::string out;
    ASSERT_EQ(Next(&out), int(after.size()));
    EXPECT_EQ(out, after);
  }
  // Starting past the keyframe asks for an earlier seek, as single messages do.
  Resuming(kKey, 5000);
  d.absoluteTimeline = false;
  source.messages = {{22, 6000, Tag(9, 6000, kKey)}};
  EXPECT_EQ(Next(), CRTMPDownload::kSeekOvershot);
}

TEST_F(FlvTags, ResumeFromServerStartingPastTheKeyframe) {
  Resuming(kKey, 5000);
  source.messages = {{9, 6000, kKey}};
  EXPECT_EQ(Next(), CRTMPDownload::kSeekOvershot);
  // Asked again from earlier, the same answer cannot be joined.
  Resuming(kKey, 5000);
  d.absoluteTimeline = true;
  source.messages = {{9, 6000, kKey}};
  EXPECT_EQ(Next(), -2);
}

TEST_F(FlvTags, ResumeCutsAnAggregateAfterTheKeyframe) {
  Resuming(kKey, 5000);
  const std::string after = Tag(8, 5020, "AA") + Tag(9, 5040, Bytes({0x27, 1}));
  source.messages = {{22, 0, Tag(8, 4990, "AA") + Tag(9, 5000, kKey) + after},
                     {22, 0, Tag(9, 5000, Bytes({0x17, 1, 'x'})) + after}};
  std::string out;
  ASSERT_EQ(Next(&out), int(after.size()));
  EXPECT_EQ(out, after);
  Resuming(kKey, 5000);
  EXPECT_EQ(Next(), -2);  // a different keyframe at that time
}

}  // namespace
