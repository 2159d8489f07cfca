// What a browser extension sends the native host: the framing reader over the
// whole input, then each message through the JSON reader, the choice of
// pattern, the header cuts and the capture block they would fill. Nothing
// here reaches a running Tamborel.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/capture/browser/browser_host.h"
#include "app/capture/browser/host_message.h"
#include "app/capture/browser/native_messaging.h"
#include "app/capture/capture_sender.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("fuzz-host-input", 0);
  if (fd < 0) std::abort();
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  ::lseek(fd, 0, SEEK_SET);
  const std::vector<std::string> monitored = {"*.flv", "*.mp4", "*.mpeg"};
  std::string message;
  while (browserhost::ReadFrame(fd, &message, 64 * 1024) == browserhost::FrameStatus::Message) {
    browserhost::HostMessage m;
    std::string reason;
    if (!browserhost::ParseHostMessage(message, &m, &reason) || m.kind != browserhost::HostMessage::Kind::Capture)
      continue;
    capture::CaptureRequest request;
    request.url = m.url;
    request.referer = m.referer;
    request.userAgent = m.userAgent;
    request.cookie = m.cookie;
    request.pattern = browserhost::ChoosePattern(m.url, m.contentType, monitored);
    capture::FitHeadersToBlock(&request);
    capture::CaptureFields fields;
    capture::BuildCaptureFields(request, request.pattern, &fields, &reason);
  }
  ::close(fd);
  return 0;
}
