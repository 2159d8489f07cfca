// The RTMPT gateway of tests/peers (rtmpt_gateway.py) as a peer for tests:
// the HTTP side of the tunnel on 127.0.0.1 and a free port, relaying to an
// RTMP server on 127.0.0.1 (usually NginxPeer).
#pragma once

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace testsupport {

class RtmptGatewayPeer {
 public:
  RtmptGatewayPeer() = default;
  ~RtmptGatewayPeer() { Stop(); }
  RtmptGatewayPeer(const RtmptGatewayPeer&) = delete;
  RtmptGatewayPeer& operator=(const RtmptGatewayPeer&) = delete;

  static bool Available();

  // `extra` are further options of the gateway, e.g. {"--cut-after", "200000"}.
  bool Start(int rtmp_port, const std::vector<std::string>& extra = {});
  void Stop();

  int port() const { return port_; }
  // One line per request ("REQ POST /send/<id>/<seq> <length> <hex>") and
  // per answer ("RESP <status> <length> <hint>"), and "CUT ..." for a cut.
  std::string Log() const;

 private:
  Sandbox dir_;
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace testsupport
