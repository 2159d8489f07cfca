// The capture side: what a browser integration or a command-line tool does
// with an address it saw. It checks the running Tamborel's monitor map,
// fills a fresh capture block and posts UM_CAPTURED to Tamborel's window.
#pragma once

#include <string>
#include <vector>

#include "app/capture/capture_block.h"

namespace capture {

struct CaptureRequest {
  std::string url;        // http://, https://, rtmp:// or rtmpt://
  std::string pattern;    // "*.flv"; empty: found from the address
  std::string referer;
  std::string userAgent;
  std::string cookie;
  std::string browser;    // program name; empty: any browser
};

enum class CaptureResult {
  Sent,
  Failed,               // bad address, no block, ...
  NoProgram,            // no running Tamborel
  MonitoringOff,
  BrowserNotMonitored,
  TypeNotMonitored,
};

struct CaptureOutcome {
  CaptureResult result = CaptureResult::Failed;
  std::string reason;  // one line for the user; empty when sent
  // 0 sent; 2 for the four refusals that mean "not captured by design"; 1 otherwise.
  int ExitCode() const;
};

struct CaptureSendOptions {
  // How long the block waits for Tamborel to read it before it is removed.
  int readWaitMs = 5000;
};

CaptureOutcome SendCapture(const CaptureRequest& request, const CaptureSendOptions& options = {});

// Pieces of the above, for tests and other front ends.
// "*.ext" of the address's last path segment; for a stream address without
// one, "*.flv". Empty when there is no extension.
std::string PatternOfAddress(const std::string& url);
// The monitored pattern equal to `pattern` ignoring case, or empty.
std::string FindMonitored(const std::vector<std::string>& monitored, const std::string& pattern);
// The block fields for the request; false (with a reason) for an address it
// cannot carry.
bool BuildCaptureFields(const CaptureRequest& request, const std::string& pattern, CaptureFields* fields,
                        std::string* reason);

}  // namespace capture
