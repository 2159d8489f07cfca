#include "app/capture/capture_address.h"

#include "core/ansi_text.h"

namespace capture {

namespace {

// A header line without its name part; nothing when the line is no longer
// than the name.
std::string HeaderValue(const std::string& line, size_t nameLength) {
  return line.size() > nameLength ? line.substr(nameLength) : std::string();
}

std::string StreamAddress(const std::string& host, const std::string& app, const std::string& playPath,
                          const char* scheme) {
  std::string address = host + "/" + app;
  if (app.empty() || app.back() != '/') address += "/";
  address += playPath;
  if (!StartsWithNoCase(address, scheme)) address = scheme + address;
  return address;
}

std::string RequestTarget(std::string line) {
  if (line.empty()) return line;
  size_t first = line.find(' ');
  if (first == std::string::npos) return line;
  line.erase(0, first + 1);
  size_t last = line.rfind(' ');
  if (last != std::string::npos) line.erase(last);
  return line;
}

void CutAtQuestionMark(std::string& s) {
  size_t q = s.find('?');
  if (q != std::string::npos) s.erase(q);
}

}  // namespace

CaptureRecord ComposeCapture(const CaptureFields& f, const std::string& specialHost) {
  CaptureRecord r;
  r.pattern = f.pattern;
  r.cookie = f.cookie;
  r.value = f.value;
  r.text = f.text;
  r.rtmpHost = f.rtmpHost;
  r.rtmpApp = f.rtmpApp;
  r.rtmpPlayPath = f.rtmpPlayPath;
  r.rtmptHost = f.rtmptHost;
  r.rtmptApp = f.rtmptApp;
  r.rtmptPlayPath = f.rtmptPlayPath;
  r.referer = HeaderValue(f.refererLine, 9);
  r.userAgent = HeaderValue(f.userAgentLine, 12);

  if (!f.rtmpHost.empty()) {
    r.pattern = "*.flv";
    r.address = StreamAddress(f.rtmpHost, f.rtmpApp, f.rtmpPlayPath, "rtmp://");
  } else if (!f.rtmptHost.empty()) {
    r.pattern = "*.flv";
    r.address = StreamAddress(f.rtmptHost, f.rtmptApp, f.rtmptPlayPath, "rtmpt://");
  } else {
    const std::string target = RequestTarget(f.requestLine);
    r.address = StartsWithNoCase(target, "HTTP") ? target : "http://" + HeaderValue(f.hostLine, 6) + target;
  }

  if (!specialHost.empty() && f.rtmpHost == specialHost) {
    CutAtQuestionMark(r.rtmpApp);
    CutAtQuestionMark(r.rtmpPlayPath);
  }
  return r;
}

}  // namespace capture
