// The capture side: what a browser integration or a command-line tool does
// with an address it saw. It checks the running Tamborel's monitor map,
// fills a fresh capture block and posts UM_CAPTURED to Tamborel's window.
#pragma once

#include <string>
#include <vector>

#include "app/capture/capture_block.h"
#include "app/capture/monitor_map.h"

namespace capture {

struct CaptureRequest {
  std::string url;        // http://, https://, rtmp:// or rtmpt://
  std::string pattern;    // "*.flv"; empty: found from the address
  std::string referer;
  std::string userAgent;
  std::string cookie;
  std::string browser;    // the browser's executable name; empty: any browser
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
// The same against a monitor map already read, so a caller that looked at it
// decides and sends on one reading.
CaptureOutcome SendCapture(const CaptureRequest& request, const MonitorConfig& config,
                           const CaptureSendOptions& options = {});

// Pieces of the above, for tests and other front ends.
// The running Tamborel's monitor configuration; false when its map is missing
// or not this user's.
bool ReadMonitorConfig(MonitorConfig* config);
// "*.ext" of the address's last path segment; for a stream address without
// one, "*.flv". Empty when there is no extension.
std::string PatternOfAddress(const std::string& url);
// The monitored pattern equal to `pattern` ignoring case, or empty.
std::string FindMonitored(const std::vector<std::string>& monitored, const std::string& pattern);
// Whether a browser-list entry names the browser running as `executable`.
// Names from Windows keep their ".exe", programs here have none, and
// packagers add suffixes: ignoring case and a trailing ".exe" on either side,
// the entry equals the name or the name continues it after a "-"
// ("firefox.exe" matches firefox-esr, not firefoxy).
bool BrowserEntryMatches(const std::string& entry, const std::string& executable);
// Whether any entry of `browsers` matches.
bool IsBrowserListed(const std::vector<std::string>& browsers, const std::string& executable);
// Cuts Referer, User-Agent and cookie so that each fits its block field
// together with its header name, for requests from a source nobody vouches
// for: a cookie loses whole "name=value" pairs from its end, no text is cut
// inside a UTF-8 sequence. The address is never cut: a cut one names another
// file.
void FitHeadersToBlock(CaptureRequest* request);
// The block fields for the request; false (with a reason) for an address it
// cannot carry.
bool BuildCaptureFields(const CaptureRequest& request, const std::string& pattern, CaptureFields* fields,
                        std::string* reason);

}  // namespace capture
