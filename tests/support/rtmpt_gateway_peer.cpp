#include "tests/support/rtmpt_gateway_peer.h"

namespace testsupport {

namespace {

std::string GatewayScript() { return std::string(TAMBOREL_PEERS_DIR) + "/rtmpt_gateway.py"; }

}  // namespace

bool RtmptGatewayPeer::Available() { return HaveProgram("python3"); }

bool RtmptGatewayPeer::Start(int rtmp_port, const std::vector<std::string>& extra) {
  Stop();
  port_ = FreeTcpPort();
  std::vector<std::string> argv = {
      "python3",     GatewayScript(),           "--port", std::to_string(port_),
      "--rtmp-port", std::to_string(rtmp_port), "--log",  dir_.path("requests.log")};
  argv.insert(argv.end(), extra.begin(), extra.end());
  if (!process_.Start(argv, dir_.path("stderr.log"))) return false;
  if (!WaitForPort(port_)) {
    Stop();
    return false;
  }
  return true;
}

void RtmptGatewayPeer::Stop() {
  if (process_.running()) process_.Stop();
}

std::string RtmptGatewayPeer::Log() const {
  return ReadWholeFile(dir_.path("requests.log")) + ReadWholeFile(dir_.path("stderr.log"));
}

}  // namespace testsupport
