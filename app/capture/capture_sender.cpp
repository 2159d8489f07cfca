#include "app/capture/capture_sender.h"

#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "app/capture/capture_messages.h"
#include "app/capture/monitor_map.h"
#include "core/ansi_text.h"
#include "platform/message_port.h"
#include "platform/shared_memory.h"
#include "rtmp/stream_address.h"

namespace capture {

namespace {

bool IsStreamAddress(const std::string& url) {
  return StartsWithNoCase(url, "rtmp://") || StartsWithNoCase(url, "rtmpt://");
}

CaptureOutcome Refused(CaptureResult result, std::string reason) { return {result, std::move(reason)}; }

// Waits for the reader to take the block; removes it when nobody did.
void WaitForReader(const std::string& name, int waitMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  uint8_t probe;
  while (std::chrono::steady_clock::now() < end) {
    if (!platform::SharedMemory::ReadCopy(name, &probe, 1)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  platform::SharedMemory::Unlink(name);
}

std::string WithoutExe(const std::string& name) {
  constexpr char kExe[] = ".exe";
  const size_t n = sizeof(kExe) - 1;
  if (name.size() > n && EqualNoCase(name.substr(name.size() - n), kExe)) return name.substr(0, name.size() - n);
  return name;
}

// At most `max` bytes of `text`, not ending inside a UTF-8 sequence.
void CutAt(std::string* text, size_t max) {
  if (text->size() <= max) return;
  size_t n = max;
  while (n > 0 && (static_cast<unsigned char>((*text)[n]) & 0xC0) == 0x80) --n;
  text->resize(n);
}

}  // namespace

int CaptureOutcome::ExitCode() const {
  switch (result) {
    case CaptureResult::Sent: return 0;
    case CaptureResult::Failed: return 1;
    default: return 2;
  }
}

std::string PatternOfAddress(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  size_t end = url.find_first_of("?#", start);
  const std::string path = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const size_t slash = path.find('/');
  const std::string last = slash == std::string::npos ? std::string() : path.substr(path.rfind('/') + 1);
  const size_t dot = last.rfind('.');
  if (dot != std::string::npos && dot + 1 < last.size()) return "*" + last.substr(dot);
  return IsStreamAddress(url) ? "*.flv" : std::string();
}

std::string FindMonitored(const std::vector<std::string>& monitored, const std::string& pattern) {
  for (const std::string& m : monitored)
    if (!pattern.empty() && EqualNoCase(m, pattern)) return m;
  return {};
}

void FitHeadersToBlock(CaptureRequest* r) {
  using L = CaptureBlockLayout;
  // Each field keeps its terminator.
  CutAt(&r->referer, L::kRefererSize - 1 - std::string_view("Referer: ").size());
  CutAt(&r->userAgent, L::kUserAgentSize - 1 - std::string_view("User-Agent: ").size());
  const size_t cookieMax = L::kCookieSize - 1;
  if (r->cookie.size() > cookieMax) {
    const size_t pair = r->cookie.rfind(';', cookieMax);
    r->cookie.resize(pair == std::string::npos ? 0 : pair);
  }
}

bool BrowserEntryMatches(const std::string& entry, const std::string& executable) {
  const std::string e = WithoutExe(entry);
  const std::string x = WithoutExe(executable);
  if (e.empty() || x.size() < e.size() || !EqualNoCase(x.substr(0, e.size()), e)) return false;
  return x.size() == e.size() || x[e.size()] == '-';
}

bool IsBrowserListed(const std::vector<std::string>& browsers, const std::string& executable) {
  for (const std::string& b : browsers)
    if (BrowserEntryMatches(b, executable)) return true;
  return false;
}

bool BuildCaptureFields(const CaptureRequest& request, const std::string& pattern, CaptureFields* f,
                        std::string* reason) {
  *f = CaptureFields();
  f->pattern = pattern;
  f->cookie = request.cookie;
  if (!request.referer.empty()) f->refererLine = "Referer: " + request.referer;
  if (!request.userAgent.empty()) f->userAgentLine = "User-Agent: " + request.userAgent;

  const std::string& url = request.url;
  if (IsStreamAddress(url)) {
    std::string host, playPath, app;
    if (!SplitStreamTaskAddress(url, host, playPath, app)) {
      *reason = "cannot read the stream address";
      return false;
    }
    const bool tunnelled = StartsWithNoCase(url, "rtmpt://");
    (tunnelled ? f->rtmptHost : f->rtmpHost) = host;
    (tunnelled ? f->rtmptApp : f->rtmpApp) = app;
    (tunnelled ? f->rtmptPlayPath : f->rtmpPlayPath) = playPath;
  } else {
    const bool secure = StartsWithNoCase(url, "https://");
    if (!secure && !StartsWithNoCase(url, "http://")) {
      *reason = "not an http, https, rtmp or rtmpt address";
      return false;
    }
    const size_t hostStart = url.find("://") + 3;
    size_t hostEnd = url.find_first_of("/?#", hostStart);
    if (hostEnd == std::string::npos) hostEnd = url.size();
    const std::string host = url.substr(hostStart, hostEnd - hostStart);
    if (host.empty() || host.find_first_of(" \t\r\n") != std::string::npos) {
      *reason = "the address has no usable host";
      return false;
    }
    std::string target = url.substr(hostEnd, url.find('#', hostEnd) - hostEnd);  // no fragment on the wire
    if (target.empty() || target[0] != '/') target.insert(0, "/");
    // The reader puts "http://" before host and target; a secure address
    // travels whole in the request line instead, as a proxy request would.
    const std::string requestTarget = secure ? url.substr(0, url.find('#')) : target;
    f->requestLine = "GET " + requestTarget + " HTTP/1.1";
    f->hostLine = "Host: " + host;
  }

  uint8_t block[CaptureBlockLayout::kSize];
  if (!WriteCaptureBlock(*f, block)) {
    *reason = "the address or a header is too long for a capture block";
    return false;
  }
  return true;
}

bool ReadMonitorConfig(MonitorConfig* config) {
  platform::SharedMemory map;
  if (!map.Open(kMonitorMapName, MonitorMapLayout::kSize, false)) return false;
  *config = ReadMonitorMap(map.Data());
  return true;
}

CaptureOutcome SendCapture(const CaptureRequest& request, const CaptureSendOptions& options) {
  MonitorConfig config;
  if (!ReadMonitorConfig(&config)) return Refused(CaptureResult::NoProgram, "no running Tamborel");
  return SendCapture(request, config, options);
}

CaptureOutcome SendCapture(const CaptureRequest& request, const MonitorConfig& config,
                           const CaptureSendOptions& options) {
  if (config.window == 0 || !platform::IsWindow(config.window))
    return Refused(CaptureResult::NoProgram, "no running Tamborel");
  if (!config.monitoring) return Refused(CaptureResult::MonitoringOff, "monitoring is off in Tamborel");
  if (!request.browser.empty() && !IsBrowserListed(config.browsers, request.browser))
    return Refused(CaptureResult::BrowserNotMonitored, "browser \"" + request.browser + "\" is not monitored");

  const std::string wanted = request.pattern.empty() ? PatternOfAddress(request.url) : request.pattern;
  const std::string pattern = FindMonitored(config.patterns, wanted);
  if (pattern.empty())
    return Refused(CaptureResult::TypeNotMonitored,
                   wanted.empty() ? "the address names no file type" : "type \"" + wanted + "\" is not monitored");

  CaptureFields fields;
  std::string reason;
  if (!BuildCaptureFields(request, pattern, &fields, &reason)) return Refused(CaptureResult::Failed, reason);

  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    const uint32_t number = static_cast<uint32_t>(random());
    const std::string name = CaptureBlockName(number);
    platform::SharedMemory block;
    bool existed = false;
    if (!block.Create(name, CaptureBlockLayout::kSize, &existed)) continue;
    if (existed) continue;  // another capture's block: leave it alone
    WriteCaptureBlock(fields, block.Data());
    block.Close();
    if (!platform::PostWindowMessage(config.window, kUmCaptured, static_cast<platform::MessageParam>(number), 0)) {
      platform::SharedMemory::Unlink(name);
      return Refused(CaptureResult::NoProgram, "no running Tamborel");
    }
    WaitForReader(name, options.readWaitMs);
    return {CaptureResult::Sent, {}};
  }
  return Refused(CaptureResult::Failed, "cannot create a capture block");
}

}  // namespace capture
