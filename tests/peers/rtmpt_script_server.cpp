#include "tests/peers/rtmpt_script_server.h"

#include <strings.h>

#include <cstdlib>

namespace testpeers {

std::string HttpRequest::Header(const std::string& name) const {
  size_t pos = head.find("\r\n");
  while (pos != std::string::npos && pos + 2 < head.size()) {
    size_t end = head.find("\r\n", pos + 2);
    if (end == std::string::npos) break;
    std::string line = head.substr(pos + 2, end - pos - 2);
    size_t colon = line.find(':');
    if (colon != std::string::npos &&
        strcasecmp(line.substr(0, colon).c_str(), name.c_str()) == 0) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      return v == std::string::npos ? std::string() : line.substr(v);
    }
    pos = end;
  }
  return {};
}

bool RtmptScriptConn::ReadRequest(HttpRequest* out, int timeout_ms) {
  size_t end;
  while ((end = in_.find("\r\n\r\n")) == std::string::npos)
    if (!Receive(timeout_ms)) return false;
  HttpRequest r;
  r.head = in_.substr(0, end + 4);
  size_t sp1 = r.head.find(' '), sp2 = r.head.find(' ', sp1 + 1), eol = r.head.find("\r\n");
  if (sp1 == std::string::npos || sp2 == std::string::npos || sp2 > eol) return false;
  r.method = r.head.substr(0, sp1);
  r.path = r.head.substr(sp1 + 1, sp2 - sp1 - 1);
  r.version = r.head.substr(sp2 + 1, eol - sp2 - 1);
  size_t length =
      static_cast<size_t>(std::strtoul(r.Header("Content-Length").c_str(), nullptr, 10));
  while (in_.size() < end + 4 + length)
    if (!Receive(timeout_ms)) return false;
  r.body = in_.substr(end + 4, length);
  in_.erase(0, end + 4 + length);
  requests_.push_back(r);
  if (out) *out = r;
  return true;
}

bool RtmptScriptConn::Answer(const std::string& body, const std::string& status) {
  return SendRaw("HTTP/1.1 " + status + "\r\nContent-Type: application/x-fcs\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\nConnection: Keep-Alive\r\n\r\n" + body);
}

bool RtmptScriptConn::AcceptTunnel(const std::string& session_id, HttpRequest* c2_connect) {
  HttpRequest r;
  if (!ReadRequest(&r) || r.path != "/open/1" || !Answer(session_id + "\n")) return false;
  if (!ReadRequest(&r) || r.body.size() != 1 + kHandshakeSize) return false;
  c1_ = r.body.substr(1);
  s1_ = ScriptedS1();
  if (!Answer(std::string("\x01\x03", 2) + s1_ + c1_)) return false;
  return ReadRequest(c2_connect);
}

}  // namespace testpeers
