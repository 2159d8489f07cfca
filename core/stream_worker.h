// What a stream recording attempt sees of the download worker that runs it:
// the worker's callbacks, the live counters the view reads once a second,
// and the slot where the running connection is published so that the
// user-interface thread's Stop, Delete and TimeOut can close it.
#pragma once

#include <cstdint>
#include <string>

// A running connection that another thread may close to end a blocked read.
class StreamConnection {
 public:
  virtual ~StreamConnection() = default;
  virtual void Close() = 0;
};

class StreamWorker {
 public:
  virtual ~StreamWorker() = default;

  // The worker's callbacks (log line; event with its log line, false when an
  // abort flag is set and the abort has been reported instead; abort check,
  // true when the transfer must end and the abort has been reported).
  virtual void AddLog(int32_t kind, int32_t icon, const std::string& text) = 0;
  virtual bool Report(int32_t code, int32_t kind, int32_t icon, const std::string& text) = 0;
  virtual bool CheckAbort() = 0;

  // Publishes the running connection, or clears it with null. The worker
  // takes the same lock around this and around its own close of the
  // published connection, so clearing it before destroying the connection
  // guarantees no close reaches a destroyed one.
  virtual void PublishStreamClient(StreamConnection* client) = 0;

  // Live counters.
  virtual int64_t TotalSize() const = 0;
  virtual void SetTotalSize(int64_t bytes) = 0;
  virtual int64_t Downloaded() const = 0;
  virtual void SetDownloaded(int64_t bytes) = 0;
  virtual void SetSpeed(int64_t bytesPerSecond) = 0;
  virtual void SetElapsed(int32_t seconds) = 0;
  // Millisecond tick (platform::TickCountMs) when the transfer started.
  virtual uint32_t StartTick() const = 0;
  virtual void SetStartTick(uint32_t tick) = 0;
  // Progress text and seconds left, for streams of unknown size; `tunnelled`
  // selects the RTMPT pair.
  virtual void PublishStreamProgress(bool tunnelled, const std::string& text,
                                     int32_t secondsLeft) = 0;
};
