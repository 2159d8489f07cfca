// One recording attempt of an rtmp:// or rtmpt:// task, as the download
// worker's retry loop runs it. The RTMP engine provides the recorder; the
// program, the command-line tool and tests register it once at start-up.
#pragma once

#include <cstdint>
#include <string>

class StreamWorker;

// Result codes of an attempt.
enum StreamAttemptResult : int32_t {
  ATTEMPT_COMPLETED = 0,      // stop
  ATTEMPT_FAILED = 1,         // stop: failed, or a report was refused on an abort
  ATTEMPT_FILE_UNUSABLE = 7,  // delete the temporary file, wait, start over
  ATTEMPT_BROKEN = 8,         // try again at once, continuing the file
  ATTEMPT_ABORTED = 9,        // stop: cancel, delete or time-out seen
  ATTEMPT_NO_SESSION = -1,    // the session object could not be created; try again
};

// The task's texts, as the worker copied them; they outlive the attempt.
struct StreamAttemptRequest {
  bool tunnelled = false;  // RTMPT rather than RTMP
  const char* host = "";   // "host" or "host:port"
  const char* playPath = "";
  const char* app = "";
  const char* tempPath = "";
};

class StreamRecorder {
 public:
  virtual ~StreamRecorder() = default;
  // Creates a session, runs one attempt on the calling thread and destroys
  // the session. Returns a StreamAttemptResult.
  virtual int RunAttempt(const StreamAttemptRequest& request, StreamWorker& worker,
                         bool firstAttempt) = 0;
};

// The process-wide recorder, set before any worker starts; null when none.
void SetStreamRecorder(StreamRecorder* recorder);
StreamRecorder* GetStreamRecorder();
