// The recording attempt of an rtmpt:// task. It is Run over a CRTMPT
// connection; the differences (the address texts, protocol and default port
// 80, the tunnel's progress counters, the tag reader's skips and quieter
// diagnostics) follow the `tunnelled` flag.
#include <new>

#include "rtmp/rtmp_download.h"
#include "rtmp/rtmpt.h"

CRTMPT* CRTMPDownload::NewTunnelConnection() { return new (std::nothrow) CRTMPT(); }

CRTMP* CRTMPDownload::MakeClient() {
  if (tunnelled) return makeTunnelConnection();
  return makeConnection();
}

int CRTMPDownload::RunTunnelled(bool firstAttempt) {
  tunnelled = true;
  return Run(firstAttempt);
}
