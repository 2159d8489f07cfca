// Examining a partly recorded file: where it is continued, what it keeps for
// the join, and which files cannot be continued.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "rtmp/amf.h"
#include "rtmp/rtmp_download.h"
#include "tests/support/sandbox.h"

namespace {

std::string Be(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s.push_back(char(v >> (8 * i)));
  return s;
}

std::string Header(uint8_t flags) {
  return std::string("FLV\x01", 4) + char(flags) + Be(9, 4) + Be(0, 4);
}

std::string Tag(uint8_t type, uint32_t ts, const std::string& data) {
  return std::string(1, char(type)) + Be(uint32_t(data.size()), 3) + Be(ts & 0xFFFFFF, 3) +
         std::string(1, char(ts >> 24)) + Be(0, 3) + data + Be(uint32_t(data.size()) + 11, 4);
}

const std::string kMeta = std::string("\x02\x00\x0aonMetaData\x05", 14);

std::string Key(char c) { return std::string("\x17\x01\x00\x00\x00", 5) + c; }
std::string Inter() { return std::string("\x27\x01\x00\x00\x00i", 6); }

class FlvInspect : public ::testing::Test {
 protected:
  int Inspect(const std::string& content) {
    sandbox.WriteFile("part.flv", content);
    FILE* f = std::fopen(sandbox.path("part.flv").c_str(), "r+b");
    if (!f) return -1;
    const int r = d.InspectFile(f, nullptr);
    position = ftello(f);
    std::fclose(f);
    return r;
  }

  testsupport::Sandbox sandbox;
  CRTMPDownload d;
  int64_t position = 0;
};

TEST_F(FlvInspect, ContinuesAfterTheLastCompleteKeyframe) {
  const std::string head = Header(5) + Tag(18, 0, kMeta) + Tag(9, 0, Key('a')) + Tag(8, 10, "snd") +
                           Tag(9, 40, Inter()) + Tag(9, 1000, Key('b'));
  const std::string tail = Tag(8, 1010, "snd") + Tag(9, 1040, Inter());
  const std::string cutKey = Tag(9, 2000, Key('c'));
  const std::string file = head + tail + cutKey.substr(0, cutKey.size() - 3);
  ASSERT_EQ(Inspect(file), CRTMPDownload::INSPECT_CONTINUE);
  EXPECT_EQ(d.resumeTimestamp, 1000u);
  EXPECT_EQ(position, int64_t(head.size()));
  ASSERT_TRUE(d.resumeFrame);
  EXPECT_EQ(d.resumeFrame->type, 9);
  EXPECT_EQ(std::string(d.resumeFrame->data.begin(), d.resumeFrame->data.end()), Key('b'));
  ASSERT_TRUE(d.metadata);
  EXPECT_EQ(std::string(d.metadata->begin(), d.metadata->end()), kMeta);
  EXPECT_FALSE(d.audioOnly);
  EXPECT_EQ(d.previousKeyframeTimestamp, 0u);
}

TEST_F(FlvInspect, AudioOnlyContinuesAfterItsLastAudioTag) {
  const std::string file = Header(4) + Tag(8, 0, "a0") + Tag(8, 23, "a1") + Tag(8, 46, "a2");
  ASSERT_EQ(Inspect(file), CRTMPDownload::INSPECT_CONTINUE);
  EXPECT_TRUE(d.audioOnly);
  EXPECT_EQ(d.resumeTimestamp, 46u);
  EXPECT_EQ(d.previousKeyframeTimestamp, 23u);
  EXPECT_EQ(position, int64_t(file.size()));
}

// An attempt that ended before it could correct the header (an abort, a
// failed write, a crash) leaves an audio-only file claiming video: it is
// continued as audio-only rather than deleted for want of a video keyframe.
TEST_F(FlvInspect, AudioOnlyFileWithVideoFlagContinues) {
  const std::string file = Header(5) + Tag(18, 0, kMeta) + Tag(8, 0, "a0") + Tag(8, 23, "a1");
  ASSERT_EQ(Inspect(file), CRTMPDownload::INSPECT_CONTINUE);
  EXPECT_TRUE(d.audioOnly);
  EXPECT_EQ(d.resumeTimestamp, 23u);
  EXPECT_EQ(position, int64_t(file.size()));
}

// The file's metadata reaches the connection before anything is received,
// so duration and size are known from the start.
TEST_F(FlvInspect, MetadataGoesToTheConnection) {
  struct Recorder : MediaSource {
    void Close() override {}
    int GetNextMediaPacket(RTMPPacket&) override { return 0; }
    bool IsConnected() const override { return false; }
    double GetDuration() const override { return 0; }
    double GetFileSize() const override { return 0; }
    void SetBufferMS(int) override {}
    void UpdateBufferMS() override {}
    void ReadMetaData(const AMFObject& object) override {
      ++calls;
      duration = object.GetProperty(1).GetObject().GetProperty("duration").GetNumber();
    }
    int calls = 0;
    double duration = 0;
  } source;
  const std::string meta = std::string("\x02\x00\x0aonMetaData\x08\x00\x00\x00\x01", 18) +
                           std::string("\x00\x08" "duration" "\x00\x40\x4e\x00\x00\x00\x00\x00\x00", 19) +
                           std::string("\x00\x00\x09", 3);
  const std::string file = Header(5) + Tag(18, 0, meta) + Tag(9, 0, Key('a')) + Tag(9, 40, Key('b'));
  sandbox.WriteFile("part.flv", file);
  FILE* f = std::fopen(sandbox.path("part.flv").c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(d.InspectFile(f, &source), CRTMPDownload::INSPECT_CONTINUE);
  std::fclose(f);
  EXPECT_EQ(source.calls, 1);
  EXPECT_EQ(source.duration, 60.0);
}

TEST_F(FlvInspect, WhatCannotBeContinued) {
  const std::string body = Tag(9, 0, Key('a')) + Tag(9, 1000, Key('b'));
  std::string hugeTrailer = Header(5) + body;
  hugeTrailer.replace(hugeTrailer.size() - 4, 4, Be(0x7FFFFFF0, 4));
  std::string badDataOffset = Header(5) + body;
  badDataOffset.replace(5, 4, Be(0xFFFFFF00, 4));
  struct Case {
    const char* name;
    std::string file;
    int result;
  };
  const Case cases[] = {
      {"empty", "", CRTMPDownload::INSPECT_FRESH},
      {"only a keyframe at 0", Header(5) + Tag(9, 0, Key('a')), CRTMPDownload::INSPECT_FRESH},
      {"flags 0x00", Header(0) + body, CRTMPDownload::INSPECT_UNUSABLE},
      {"not FLV", "FLX" + Header(5).substr(3) + body, CRTMPDownload::INSPECT_UNUSABLE},
      {"version 2", "FLV\x02" + Header(5).substr(4) + body, CRTMPDownload::INSPECT_UNUSABLE},
      {"shorter than a header", Header(5).substr(0, 12), CRTMPDownload::INSPECT_UNUSABLE},
      // Left by an attempt that ended before any media: nothing to keep.
      {"header only", Header(5), CRTMPDownload::INSPECT_FRESH},
      {"header and part of a tag", Header(5) + Tag(9, 0, Key('a')).substr(0, 9),
       CRTMPDownload::INSPECT_FRESH},
      {"no keyframe", Header(5) + Tag(9, 40, Inter()), CRTMPDownload::INSPECT_UNUSABLE},
      {"trailer larger than the file", hugeTrailer, CRTMPDownload::INSPECT_UNUSABLE},
      {"data offset past the end", badDataOffset, CRTMPDownload::INSPECT_UNUSABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Inspect(c.file), c.result);
  }
}

}  // namespace
