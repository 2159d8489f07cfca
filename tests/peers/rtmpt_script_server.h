// A scripted RTMPT server for wire-level tests: it listens on 127.0.0.1, takes
// one client and runs a test's script on its own thread. The script reads the
// client's HTTP requests exactly as they came and writes answers byte for
// byte, so it can also send answers no real server would.
#pragma once

#include <string>
#include <vector>

#include "tests/peers/script_server.h"

namespace testpeers {

struct HttpRequest {
  std::string head;  // request line and header lines, blank line included
  std::string method, path, version;
  std::string body;  // Content-Length bytes
  // The value of a header line, or empty.
  std::string Header(const std::string& name) const;
};

class RtmptScriptConn : public ScriptSocket {
 public:
  explicit RtmptScriptConn(int fd) : ScriptSocket(fd) {}

  bool ReadRequest(HttpRequest* out, int timeout_ms = 10000);
  // "HTTP/1.1 <status>" with the tunnel's content type and the body's length.
  bool Answer(const std::string& body, const std::string& status = "200 OK");
  bool SendRaw(const std::string& bytes) { return SendAll(bytes); }

  // The client's side of opening a tunnel: answers /open/1 with the session
  // id, the C0 C1 request with S0 S1 S2, and keeps the request carrying C2
  // and "connect" unanswered in *c2_connect. The requests are kept in order.
  bool AcceptTunnel(const std::string& session_id, HttpRequest* c2_connect);
  const std::string& s1() const { return s1_; }
  const std::string& c1() const { return c1_; }
  const std::vector<HttpRequest>& requests() const { return requests_; }

 private:
  std::string s1_, c1_;
  std::vector<HttpRequest> requests_;
};

using RtmptScriptServer = ScriptServer<RtmptScriptConn>;

}  // namespace testpeers
