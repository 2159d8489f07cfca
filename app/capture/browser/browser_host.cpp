#include "app/capture/browser/browser_host.h"

#include "app/capture/browser/media_content_type.h"
#include "app/capture/browser/native_messaging.h"
#include "core/ansi_text.h"

namespace browserhost {

namespace {

bool HasControl(const std::string& text) {
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\t') || c == 0x7f) return true;
  return false;
}

// The address for a log line: one line, whatever the extension sent.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return out;
}

HostResult FromCapture(capture::CaptureResult r) {
  switch (r) {
    case capture::CaptureResult::Sent: return HostResult::Sent;
    case capture::CaptureResult::NoProgram: return HostResult::NoProgram;
    case capture::CaptureResult::MonitoringOff: return HostResult::MonitoringOff;
    case capture::CaptureResult::BrowserNotMonitored: return HostResult::BrowserNotMonitored;
    case capture::CaptureResult::TypeNotMonitored: return HostResult::TypeNotMonitored;
    case capture::CaptureResult::Failed: break;
  }
  return HostResult::Refused;
}

}  // namespace

const char* HostResultName(HostResult result) {
  switch (result) {
    case HostResult::Sent: return "sent";
    case HostResult::NoProgram: return "no-program";
    case HostResult::MonitoringOff: return "monitoring-off";
    case HostResult::BrowserNotMonitored: return "browser-not-monitored";
    case HostResult::TypeNotMonitored: return "type-not-monitored";
    case HostResult::Refused: break;
  }
  return "refused";
}

std::string ChoosePattern(const std::string& url, const std::string& contentType,
                          const std::vector<std::string>& monitored) {
  const std::string fromPath = capture::PatternOfAddress(url);
  if (IsMediaPattern(fromPath)) return fromPath;
  const std::vector<std::string> candidates = PatternsOfContentType(contentType);
  for (const std::string& c : candidates)
    if (!capture::FindMonitored(monitored, c).empty()) return c;
  if (!candidates.empty()) return candidates.front();
  return fromPath;  // "*.php" and the like: reported as a type not monitored
}

BrowserHost::BrowserHost(HostOptions options) : options_(std::move(options)) {
  if (!options_.logPath.empty()) log_ = std::fopen(options_.logPath.c_str(), "a");
}

BrowserHost::~BrowserHost() {
  if (log_) std::fclose(log_);
}

void BrowserHost::Log(const std::string& line) {
  if (!log_) return;
  std::fprintf(log_, "%s\n", line.c_str());
  std::fflush(log_);
}

std::string BrowserHost::Handle(std::string_view json) {
  HostMessage message;
  std::string reason;
  if (!ParseHostMessage(json, &message, &reason)) {
    Log("refused " + reason);
    return {};
  }
  switch (message.kind) {
    case HostMessage::Kind::Hello:
      Log("hello " + Printable(options_.browser));
      return {};
    case HostMessage::Kind::Capture: {
      const HostResult result = Capture(message);
      Log(std::string("capture ") + HostResultName(result) + " " + Printable(message.url));
      return std::string(R"({"type":"result","result":")") + HostResultName(result) + "\"}";
    }
    case HostMessage::Kind::Other:
      break;
  }
  return {};
}

HostResult BrowserHost::Capture(const HostMessage& m) {
  // Only what a video element or a download asks for: a plain GET of an
  // http(s) address, with header texts a browser could have sent.
  if (!StartsWithNoCase(m.url, "http://") && !StartsWithNoCase(m.url, "https://")) return HostResult::Refused;
  if (!m.method.empty() && !EqualNoCase(m.method, "GET")) return HostResult::Refused;
  if (m.url.find(' ') != std::string::npos || HasControl(m.url) || HasControl(m.referer) ||
      HasControl(m.userAgent) || HasControl(m.cookie))
    return HostResult::Refused;
  if (m.url == lastSent_ && options_.now() - lastSentAt_ < kRepeatWindow) return HostResult::Refused;

  capture::MonitorConfig config;
  if (!capture::ReadMonitorConfig(&config)) return HostResult::NoProgram;
  capture::CaptureRequest request;
  request.url = m.url;
  request.pattern = ChoosePattern(m.url, m.contentType, config.patterns);
  request.referer = m.referer;
  request.userAgent = m.userAgent;
  request.cookie = m.cookie;
  // An unknown browser is never "any browser".
  request.browser = options_.browser.empty() ? std::string("?") : options_.browser;
  capture::FitHeadersToBlock(&request);

  const HostResult result = FromCapture(capture::SendCapture(request, config, options_.send).result);
  if (result == HostResult::Sent) {
    lastSent_ = m.url;
    lastSentAt_ = options_.now();
  }
  return result;
}

int BrowserHost::Serve(int in, int out) {
  std::string message;
  for (;;) {
    switch (ReadFrame(in, &message)) {
      case FrameStatus::Message: {
        const std::string answer = Handle(message);
        if (!answer.empty() && !WriteFrame(out, answer)) return 0;  // the browser went away
        break;
      }
      case FrameStatus::End: return 0;
      case FrameStatus::Oversized: Log("refused an oversized message"); return 1;
      case FrameStatus::Truncated: Log("refused a cut message"); return 1;
      case FrameStatus::ReadError: return 1;
    }
  }
}

}  // namespace browserhost
