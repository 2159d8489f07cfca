// The RTMP engine's stream recorder: one CRTMPDownload per attempt. The
// program, the command-line tool and tests register it with
// SetStreamRecorder.
#pragma once

#include "core/stream_attempt.h"

class RtmpStreamRecorder final : public StreamRecorder {
 public:
  int RunAttempt(const StreamAttemptRequest& request, StreamWorker& worker,
                 bool firstAttempt) override;
};
