#include "rtmp/rtmp_recorder.h"

#include <memory>
#include <new>

#include "core/stream_worker.h"
#include "core/task_event_codes.h"
#include "rtmp/rtmp_download.h"

int RtmpStreamRecorder::RunAttempt(const StreamAttemptRequest& request, StreamWorker& worker,
                                   bool firstAttempt) {
  std::unique_ptr<CRTMPDownload> session(new (std::nothrow) CRTMPDownload());
  if (!session) return ATTEMPT_NO_SESSION;
  session->host = request.host;
  session->playpath = request.playPath;
  session->app = request.app;
  session->tempPath = request.tempPath;
  session->worker = &worker;
  session->resume = true;
  return request.tunnelled ? session->RunTunnelled(firstAttempt) : session->Run(firstAttempt);
}
