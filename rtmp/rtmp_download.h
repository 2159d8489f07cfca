// One attempt at recording an RTMP stream into a task's temporary FLV file:
// the file is started afresh or continued after its last complete keyframe,
// the stream is written tag by tag, the worker's counters are kept up to
// date, and a result code tells the worker's retry loop what to do next.
//
// rtmp_download.cpp: Run and the steps it is made of (shared with the
// tunnelled recorder); flv_inspect.cpp: InspectFile; flv_tags.cpp:
// WriteHeader, NextTag and the resume filter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/stream_attempt.h"
#include "rtmp/connection_params.h"
#include "rtmp/media_source.h"

class CRTMP;
class CRTMPT;
class StreamWorker;

class CRTMPDownload {
 public:
  enum InspectResult { INSPECT_CONTINUE = 0, INSPECT_FRESH = 1, INSPECT_UNUSABLE = 2 };

  static constexpr int kFlvHeaderSize = 13;
  static constexpr size_t kOutputBufferSize = 1u << 20;
  static constexpr int kIgnoreLimit = 50;
  static constexpr uint8_t kFlagsAudio = 4;
  static constexpr uint8_t kFlagsVideo = 1;
  static constexpr uint32_t kProgressIntervalMs = 1000;

  CRTMPDownload() = default;
  ~CRTMPDownload();
  CRTMPDownload(const CRTMPDownload&) = delete;
  CRTMPDownload& operator=(const CRTMPDownload&) = delete;

  // The attempt, on the worker's thread. Returns a StreamAttemptResult.
  int Run(bool firstAttempt);
  // The same for an rtmpt:// task, through the HTTP tunnel
  // (rtmp_download_tunnelled.cpp).
  int RunTunnelled(bool firstAttempt);

  // The 13-byte file header; returns 13.
  static int WriteHeader(uint8_t* buffer);
  // Examines the open temporary file. On INSPECT_CONTINUE the resume
  // information is filled and the file positioned where writing goes on;
  // metadata found in it is handed to `source`, when given.
  int InspectFile(FILE* file, MediaSource* source);
  // Reads the next media message and turns it into FLV bytes in the output
  // buffer: the count (> 0), 0 (nothing to write this time), -1 (connection
  // ended or closed, or out of memory), -2 (cannot be joined to the file) or
  // kSeekOvershot (see below). `timestamp` receives that of the last tag.
  int NextTag(MediaSource& source, uint32_t& timestamp);
  // The same for a message already read, with GetNextMediaPacket's result.
  int TagFromPacket(RTMPPacket& packet, int mediaResult, uint32_t& timestamp);

  // A server that keeps the stream's own timeline on a seek and starts after
  // the keyframe asked for: the connection has to seek again, from the
  // keyframe before it, for the file to continue without a gap.
  static constexpr int kSeekOvershot = -3;

  // Steps of Run, for the tunnelled recorder as well. Each returns true to go
  // on; false means `result` is set and the attempt goes to Cleanup.
  bool ReportStart();                        // resolving report, address check
  bool AllocateOutputBuffer();
  void Publish(MediaSource* source);         // the worker's client; null clears
  bool OpenTemporaryFile(MediaSource& source);  // continue, or a fresh file
  bool AfterConnect(bool firstAttempt);      // abort check, first reports
  // Header of a fresh file and the recording loop, up to the outcome in
  // `result`. True instead when NextTag gave kSeekOvershot: nothing was
  // written, and the caller may connect again with an earlier seek.
  bool Record(MediaSource& source, bool tunnelled);
  // Closes the file, a last progress update, clears the worker's client.
  void Cleanup(bool tunnelled);
  // Speed, downloaded, elapsed and the progress text, then the abort check.
  void ProgressUpdate(bool tunnelled);
  void UpdateCounters(bool tunnelled);
  void ResetResumeFilter();
  // Duration and size from the server's metadata, as the counters can hold
  // them: not finite or not above 0 gives 0, too large the largest value.
  static double MetadataSeconds(double seconds);
  static int64_t MetadataBytes(double bytes);

  // The file.
  FILE* file = nullptr;
  int32_t result = ATTEMPT_COMPLETED;
  double percent = 0;
  double duration = 0;
  uint8_t mediaFlags = 0;
  bool audioOnly = false;
  bool resume = false;  // set by the loop; cleared when the file is started afresh
  uint32_t resumeTimestamp = 0;
  int32_t bufferTime = kRecorderBufferTimeMs;
  std::optional<std::vector<uint8_t>> metadata;  // the file's first onMetaData data
  struct ResumeFrame {
    uint8_t type = 0;
    std::vector<uint8_t> data;
  };
  std::optional<ResumeFrame> resumeFrame;
  int64_t resumePosition = 0;  // where writing continues in the file
  uint32_t previousKeyframeTimestamp = 0;  // the usable keyframe before it, or 0

  // Set by RunTunnelled: the RTMPT texts, and the tag reader's and file
  // examination's differences.
  bool tunnelled = false;

  // Given by the loop; borrowed.
  const char* host = nullptr;      // "host" or "host:port"
  const char* playpath = nullptr;
  const char* app = nullptr;
  const char* tempPath = nullptr;
  StreamWorker* worker = nullptr;

  // Set by Run.
  std::string hostName;  // host without the port
  int port = kRtmpRecorderPort;
  int protocol = RTMP_PROTOCOL_RTMP;
  int receiveTimeoutMs = kRecorderReceiveTimeoutMs;
  std::optional<std::string> tcUrl;
  const char* flashVer = kRecorderFlashVer;

  // Resume filter state.
  bool keyframeFound = false;
  bool resumeFrameSeen = false;
  bool passing = false;
  int ignoredMessages = 0;
  int ignoredAggregates = 0;
  // Highest timestamp among the dropped messages, -1 before the first.
  int64_t highestIgnoredTimestamp = -1;
  // Added to message timestamps: the resume timestamp for a server that
  // restarts the timeline at 0 on a seek, 0 for one that keeps it.
  uint32_t timestampShift = 0;
  // The server answered the seek on the file's own timeline (not cleared
  // with the rest of the filter: a second connection keeps knowing it).
  bool absoluteTimeline = false;

  // Output buffer, 1 MiB, grown for larger messages.
  std::unique_ptr<uint8_t[]> buffer;
  size_t bufferSize = 0;

  // Creates the connection object, or returns null (it is several megabytes).
  // Tests replace it to see that case.
  CRTMP* (*makeConnection)() = &NewConnection;
  static CRTMP* NewConnection();
  CRTMPT* (*makeTunnelConnection)() = &NewTunnelConnection;
  static CRTMPT* NewTunnelConnection();

 private:
  bool ConnectRtmp(CRTMP& rtmp, double seek, bool firstAttempt);
  CRTMP* MakeClient();
  int ResumeFilter(RTMPPacket& packet);
  // Looks through an aggregate for the resume keyframe; when found, the
  // aggregate is cut to start after it.
  enum AggregateSearch { AGGREGATE_FOUND, AGGREGATE_BROKEN, AGGREGATE_LATER, AGGREGATE_NONE };
  AggregateSearch SearchAggregate(RTMPPacket& packet);
  uint32_t PreviousMatch(FILE* file, int64_t tagStart, int64_t usableEnd) const;
  bool EnsureBuffer(size_t needed);
  // Puts the media flags seen so far into a fresh file's header; false when
  // that write fails.
  bool KeepHeaderFlags();
  bool WriteAll(const uint8_t* data, size_t size);

  bool fresh_ = true;  // this attempt wrote a new header
  uint8_t headerFlags_ = 0;  // the flags byte in that header
  bool mediaSeen_ = false;   // the connection handed over any media message
  int64_t byteCount_ = 0;
  uint32_t lastUpdateTick_ = 0;
  int64_t lastUpdateBytes_ = 0;
  bool progressStarted_ = false;
};
