// Aims one recording attempt at the play path "clip" of the application
// "vod", as the attempt tests record it.
#pragma once

#include <string>

#include "core/stream_worker.h"
#include "rtmp/rtmp_download.h"

namespace testsupport {

// The attempt borrows `host` and `temp`: they must outlive it.
inline void AimAtClip(CRTMPDownload& attempt, const std::string& host, const std::string& temp,
                      StreamWorker& worker, bool resume) {
  attempt.host = host.c_str();
  attempt.playpath = "clip";
  attempt.app = "vod";
  attempt.tempPath = temp.c_str();
  attempt.worker = &worker;
  attempt.resume = resume;
}

}  // namespace testsupport
