// The per-task download worker. The task runner fills it from a task and runs
// it on a thread of its own; it transfers plain HTTP itself (resuming into the
// task's temporary file) and runs the retry loop around RTMP and RTMPT
// recordings. It reaches the user-interface thread only through posted task
// events, the pending log and the live counters below.
#pragma once

#include <atomic>
#include <mutex>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "core/data_record.h"
#include "core/stream_worker.h"
#include "http/sh_download.h"
#include "http/task_event_sink.h"
#include "http/temp_file.h"

class SocketDownLoad : public StreamWorker {
 public:
  static constexpr int kChunk = 1024;         // bytes per receive
  static constexpr int kSendAttempts = 20;
  static constexpr int kEmptyReceives = 20;   // tolerated per attempt
  static constexpr int kRestartPauseMs = 500;
  static constexpr int kMaxRedirects = 10;    // per attempt

  SocketDownLoad();
  virtual ~SocketDownLoad();
  SocketDownLoad(const SocketDownLoad&) = delete;
  SocketDownLoad& operator=(const SocketDownLoad&) = delete;

  // Set-up, on the user-interface thread before the thread starts.
  void Attach(TaskEventSink* view);
  // `fileBytes` is the task's FileBytes: the size expected, 0 when unknown.
  void Setup(const TaskRequest& request, int32_t taskIndex, int64_t fileBytes);

  // The thread routine: one attempt, ending with exactly one final event.
  int Run();

  // Control from the user-interface thread: each sets its flag and breaks the
  // connection so that a blocked wait ends at once.
  void Stop();
  void Delete();
  void TimeOut();

  // Used by the transfer code on the worker thread.
  void AddLog(int32_t kind, int32_t icon, const std::string& text) override;
  // True when a flag is set: the file is closed, the connection broken, and
  // the abort event logged and posted.
  bool CheckAbort() override;
  // Logs `text` and posts `code`; when a flag is set, posts the abort event
  // instead and returns false.
  bool Report(int32_t code, int32_t kind, int32_t icon, const std::string& text) override;

  // Moves the pending log entries out, under LogLock.
  std::vector<LogEntry> TakePendingLog();
  // Progress texts written by the stream engines when the size is unknown;
  // exchanged under LogLock.
  void SetStreamProgress(const std::string& text);
  std::string StreamProgress() const;
  void SetTunnelProgress(const std::string& text);
  std::string TunnelProgress() const;

  // What a stream recording attempt uses (StreamWorker). The published
  // client is guarded by clientLock_, which Stop, Delete and TimeOut take
  // around their close of it.
  void PublishStreamClient(StreamConnection* client) override;
  int64_t TotalSize() const override { return totalSize; }
  void SetTotalSize(int64_t bytes) override { totalSize = bytes; }
  int64_t Downloaded() const override { return downloaded; }
  void SetDownloaded(int64_t bytes) override { downloaded = bytes; }
  void SetSpeed(int64_t bytesPerSecond) override { speed = bytesPerSecond; }
  void SetElapsed(int32_t seconds) override { elapsed = seconds; }
  uint32_t StartTick() const override { return startTick; }
  void SetStartTick(uint32_t tick) override { startTick = tick; }
  void PublishStreamProgress(bool tunnelled, const std::string& text,
                             int32_t secondsLeft) override;

  bool IsStreamTask() const { return !RTMPHost.empty() || !RTMPTHost.empty(); }
  const std::string& TempPath() const { return tempPath; }

  // Kept by the runner; joined by the destructor when still joinable.
  std::thread thread;

  // From the task (set-up only; not touched across threads afterwards).
  std::string server;
  std::string object;
  std::string cookie;
  std::string referer;
  std::string userAgent;
  int32_t taskIndex = -1;
  std::string URL;
  std::string tempPath;
  std::string RTMPHost, RTMPPlayPath, RTMPApp;
  std::string RTMPTHost, RTMPTPlayPath, RTMPTApp;

  // Abort flags: set 0 → 1 by the user-interface thread.
  std::atomic<int32_t> cancelFlag{0};
  std::atomic<int32_t> deleteFlag{0};
  std::atomic<int32_t> timeoutFlag{0};
  // Set when the attempt failed on the server's certificate: retrying
  // cannot help.
  std::atomic<int32_t> certificateRejected{0};

  // Live counters, written by the worker and read once a second by the view.
  std::atomic<int64_t> totalSize{0};
  std::atomic<int32_t> elapsed{0};       // whole seconds of the receive loop
  std::atomic<int64_t> downloaded{0};    // bytes in the temporary file
  std::atomic<int64_t> watchdogMark{-2}; // the runner's watchdog only
  std::atomic<int64_t> speed{0};         // bytes per second
  std::atomic<uint32_t> startTick{0};    // ms tick of the loop start; 0 = not started
  std::atomic<int32_t> streamTimeLeft{0};
  std::atomic<int32_t> tunnelTimeLeft{0};

 protected:
  // The request's send and one body receive, as shDownLoad does them;
  // tests replace them to fail on purpose.
  virtual bool SendRequest() { return connection_.Send(); }
  virtual int ReceiveChunk(char* buffer, int capacity) { return connection_.Receive(buffer, capacity); }

 private:
  enum class BodyFraming { Length, Chunked, UntilClose };

  void RunHttp();
  BodyFraming Framing(int status);
  void ReceiveBody(BodyFraming framing);
  bool FailBody(int32_t code, const char* text);
  void RunStream(bool tunnelled);
  void BreakConnection();
  void CloseStreamClient();
  void PostEvent(int32_t code);
  void PostAbort();
  void CloseFile();
  void RestartFromBeginning();
  bool RangeAnswerFits(int64_t contentLength);

  TaskEventSink* view_ = nullptr;
  std::vector<LogEntry> pendingLog_;  // guarded by LogLock
  std::string streamProgress_;        // guarded by LogLock
  std::string tunnelProgress_;        // guarded by LogLock
  TempFile file_;
  shDownLoad connection_;
  std::mutex clientLock_;
  StreamConnection* streamClient_ = nullptr;  // guarded by clientLock_
};
