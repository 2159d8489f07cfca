// One download task, its status values and its log lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum DownStatus : int32_t {
  New = 0,               // constructed, not yet added; shown in no list
  Failed = 1,            // gave up after the retries
  Downloading = 2,       // a worker is running
  Stopping = 3,          // stopped or deleted; waiting for the worker to end
  Paused = 4,            // idle, can be started
  Retrying = 5,          // waiting for the retry timer
  Completed = 6,         // final file in place
  DeletedFailed = 7,     // deleted while Failed
  DeletedPaused = 8,     // deleted while not finished
  DeletedCompleted = 9,  // deleted after completion
};

// Log line kinds.
enum LogKind : int32_t {
  LOG_SUMMARY = 0,   // shown in the simple and the detailed log
  LOG_REQUEST = 1,   // a request text, shown line by line in the detailed log
  LOG_RESPONSE = 2,  // one response header line (detailed log only)
  LOG_DETAIL = 3,    // a detail line (detailed log only)
};

struct LogEntry {
  int32_t kind = LOG_SUMMARY;
  int32_t icon = 0;       // 0 to 3, into the log view's images
  std::string text;
  std::string time;       // local "%Y-%m-%d %H:%M:%S"
  int32_t TaskIndex = -1;
};

class DataRecord {
 public:
  DataRecord() = default;
  virtual ~DataRecord() = default;
  // Declared, since the virtual destructor would otherwise suppress the
  // moves: a growing task list moves its records instead of copying them.
  DataRecord(const DataRecord&) = default;
  DataRecord& operator=(const DataRecord&) = default;
  DataRecord(DataRecord&&) noexcept = default;
  DataRecord& operator=(DataRecord&&) noexcept = default;

  std::string FileName;       // final file inside SaveDir
  int64_t FileBytes = 0;      // total size; 0 = unknown
  int64_t DownBytes = 0;
  int64_t Speed = 0;          // bytes per second (not persisted)
  std::string Progress;
  std::string SpeedText;      // not persisted
  std::string ElapsedText;    // not persisted
  std::string TimeLeftText;   // not persisted
  std::string StatusText;     // not persisted
  std::string URL;
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Duration;
  std::string CreateTime;
  std::string FinishTime;
  std::string Comment;        // not persisted
  std::string Referer;
  std::string Cookie;         // not persisted
  std::string SaveDir;        // ends in the path separator
  std::string TempFile;       // temporary file inside SaveDir
  std::string UserAgent;      // empty: the built-in default
  std::string RTMPHost;       // non-empty: an RTMP task
  std::string RTMPPlayPath;
  std::string RTMPApp;
  std::string RTMPTHost;      // non-empty (and RTMPHost empty): an RTMPT task
  std::string RTMPTPlayPath;
  std::string RTMPTApp;
  int32_t TaskIndex = -1;     // identifier within this run
  int32_t RetryCount = 0;     // not persisted
  int32_t SortIndex = 0;      // larger is newer
  int32_t DownStatus = New;
  std::vector<LogEntry> Log;  // not persisted
};

// What the capture intake and the new-download dialog hand to AddTask; the
// task runner starts a worker from the same record.
struct TaskRequest {
  uint8_t Flag = 0;       // not used
  uint8_t StartFlag = 1;  // 1: start the download at once
  std::string URL;
  std::string SaveDir;
  std::string Referer;
  std::string Cookie;
  std::string FileName;
  std::string TempFile;
  std::string ExtHint;    // extension hint for MakeSaveName ("*.flv")
  std::string UserAgent;
  std::string Comment;
  std::string RTMPHost;
  std::string RTMPPlayPath;
  std::string RTMPApp;
  std::string RTMPTHost;
  std::string RTMPTPlayPath;
  std::string RTMPTApp;
};
