// tamborel-capture [--pattern P] [--referer R] [--user-agent UA] [--cookie C]
//                  [--browser NAME] URL
// Exit 0: Tamborel has the address. 2: not captured (no running Tamborel,
// monitoring off, browser or type not monitored). 1: any other error.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/capture/capture_sender.h"

namespace {

constexpr char kUsage[] =
    "usage: tamborel-capture [--pattern P] [--referer R] [--user-agent UA] [--cookie C] [--browser NAME] URL";

bool ParseArguments(int argc, char** argv, capture::CaptureRequest* r, std::string* error) {
  struct Option {
    const char* name;
    std::string capture::CaptureRequest::*field;
  };
  const Option options[] = {
      {"--pattern", &capture::CaptureRequest::pattern},       {"--referer", &capture::CaptureRequest::referer},
      {"--user-agent", &capture::CaptureRequest::userAgent},  {"--cookie", &capture::CaptureRequest::cookie},
      {"--browser", &capture::CaptureRequest::browser},
  };
  bool haveUrl = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const Option* match = nullptr;
    std::string value;
    for (const Option& o : options) {
      const size_t n = std::strlen(o.name);
      if (arg == o.name) {
        if (i + 1 >= argc) {
          *error = arg + " needs a value";
          return false;
        }
        match = &o;
        value = argv[++i];
      } else if (arg.compare(0, n + 1, std::string(o.name) + "=") == 0) {
        match = &o;
        value = arg.substr(n + 1);
      }
      if (match) break;
    }
    if (match) {
      r->*(match->field) = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (haveUrl) {
      *error = "only one address at a time";
      return false;
    } else {
      r->url = arg;
      haveUrl = true;
    }
  }
  if (!haveUrl) *error = "no address given";
  return haveUrl;
}

}  // namespace

int main(int argc, char** argv) {
  capture::CaptureRequest request;
  std::string error;
  if (!ParseArguments(argc, argv, &request, &error)) {
    std::fprintf(stderr, "tamborel-capture: %s\n%s\n", error.c_str(), kUsage);
    return 1;
  }
  const capture::CaptureOutcome outcome = capture::SendCapture(request);
  if (outcome.result != capture::CaptureResult::Sent)
    std::fprintf(stderr, "tamborel-capture: %s\n", outcome.reason.c_str());
  return outcome.ExitCode();
}
