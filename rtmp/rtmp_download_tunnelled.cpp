// The recording attempt of an rtmpt:// task: Run's steps over a CRTMPT
// connection. What differs from Run: the address texts, protocol and default
// port (80), the tunnel's progress counters, and the quieter tag reader and
// file examination that the `tunnelled` flag selects.
#include <cstdio>
#include <memory>
#include <new>

#include "core/stream_worker.h"
#include "core/task_event_codes.h"
#include "rtmp/rtmp_download.h"
#include "rtmp/rtmpt.h"
#include "rtmp/stream_address.h"

CRTMPT* CRTMPDownload::NewTunnelConnection() { return new (std::nothrow) CRTMPT(); }

int CRTMPDownload::RunTunnelled(bool firstAttempt) {
  tunnelled = true;
  if (!ReportStart()) return result;
  protocol = RTMP_PROTOCOL_RTMPT;
  flashVer = kRecorderFlashVer;
  // A captured address's own port is kept in the host field as "host:port".
  SplitHostPort(host, kRtmptRecorderPort, hostName, port);
  if (app && *app) tcUrl = BuildTcUrl(RTMP_PROTOCOL_RTMPT, hostName, port, app);

  std::unique_ptr<CRTMPT> rtmpt;
  if (AllocateOutputBuffer()) rtmpt.reset(makeTunnelConnection());
  if (!rtmpt) {
    worker->Report(TE_SOCKET_FAILED, 0, 3, "Failed to initialize socket.");
    buffer.reset();
    return result = ATTEMPT_FAILED;
  }
  auto source = std::make_unique<MediaSourceOf<CRTMPT>>(*rtmpt);
  Publish(source.get());
  rtmpt->SetBufferMS(bufferTime);

  if (OpenTemporaryFile(*source)) {
    if (firstAttempt) {
      char line[320];
      std::snprintf(line, sizeof line, "Connecting %.255s:%d...", hostName.c_str(), port);
      worker->AddLog(0, 0, line);
    }
    if (ConnectRtmp(*rtmpt, resume ? double(resumeTimestamp) : 0, firstAttempt) &&
        AfterConnect(firstAttempt) && Record(*source, true)) {
      // As in Run: the server started after the keyframe asked for, so ask
      // once more from just before it, on a new tunnel.
      Publish(nullptr);
      rtmpt->Close();
      rtmpt.reset(makeTunnelConnection());
      if (!rtmpt) {
        worker->Report(TE_SOCKET_FAILED, 0, 3, "Failed to initialize socket.");
        result = ATTEMPT_FAILED;
      } else {
        source = std::make_unique<MediaSourceOf<CRTMPT>>(*rtmpt);
        Publish(source.get());
        rtmpt->SetBufferMS(bufferTime);
        if (ConnectRtmp(*rtmpt, double(resumeTimestamp - 1), false) && Record(*source, true)) {
          worker->Report(TE_RECV_ERROR, 0, 0, "Error occurred.");
          result = ATTEMPT_FAILED;
        }
      }
    }
  }
  Cleanup(true);
  if (rtmpt) rtmpt->Close();
  source.reset();
  rtmpt.reset();
  buffer.reset();
  tcUrl.reset();
  return result;
}
