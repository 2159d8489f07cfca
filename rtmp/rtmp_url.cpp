#include "rtmp/rtmp_url.h"

#include <algorithm>
#include <cctype>

#include "rtmp/diag_log.h"

const char RtmpProtocolNames[kRtmpProtocolCount][7] = {"rtmp",  "rtmpt",  "rtmps",
                                                       "rtmpe", "rtmpte", "rtmpfp"};

namespace {

constexpr int kRtmpDefaultPort = 1935;
constexpr int kRtmptDefaultPort = 80;
constexpr size_t kMaxAuthorityLength = 255;
constexpr size_t kMaxPortLength = 5;

// Scheme texts as written in addresses; note "rtmfp", unlike the name table.
constexpr std::string_view kSchemes[kRtmpProtocolCount] = {"rtmp",  "rtmpt",  "rtmps",
                                                           "rtmpe", "rtmpte", "rtmfp"};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

int LeadingDecimal(std::string_view digits) {
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');  // at most 5 digits: no overflow
  }
  return value;
}

// The playpath of the plain form: ".mp4" and ".f4v" streams are addressed
// with an "mp4:" prefix, ".flv" streams without their extension.
std::string PlaypathFromPath(std::string_view path) {
  if (EndsWith(path, ".mp4") || EndsWith(path, ".f4v")) {
    if (StartsWith(path, "mp4:")) return std::string(path);
    return "mp4:" + std::string(path);
  }
  if (EndsWith(path, ".flv")) path.remove_suffix(4);
  return std::string(path);
}

}  // namespace

bool ParseRtmpUrl(std::string_view url, RtmpProtocol& protocol, std::optional<std::string>& host,
                  int& port, std::optional<std::string>& playpath,
                  std::optional<std::string>& app) {
  protocol = RTMP_PROTOCOL_RTMP;

  const size_t separator = url.find("://");
  if (separator == std::string_view::npos) {
    DiagLog(DIAG_WARNING, "RTMP URL: No :// in url!");
    return false;
  }

  const std::string_view scheme = url.substr(0, separator);
  bool known = false;
  for (int i = 0; i < kRtmpProtocolCount; ++i) {
    if (EqualsIgnoreCase(scheme, kSchemes[i])) {
      protocol = static_cast<RtmpProtocol>(i);
      known = true;
      break;
    }
  }
  if (!known) DiagLog(DIAG_WARNING, "Unknown protocol!\n");

  const std::string_view rest = url.substr(separator + 3);
  const size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
  const size_t colon = rest.find(':');
  const size_t hostEnd = colon < authorityEnd ? colon : authorityEnd;
  // "rtmp:///app" or "rtmp://:1935/app" carry no host either; such an address
  // could never be recorded.
  if (hostEnd == 0) {
    DiagLog(DIAG_WARNING, "No hostname in URL!");
    return false;
  }

  if (authorityEnd > kMaxAuthorityLength) {
    DiagLog(DIAG_WARNING, "Hostname exceeds 255 characters!");
  } else {
    host = std::string(rest.substr(0, hostEnd));
    DiagLog(DIAG_DEBUG, "Parsed host    : %s", host->c_str());
  }

  if (hostEnd < authorityEnd) {
    const std::string_view digits = rest.substr(hostEnd + 1, authorityEnd - hostEnd - 1);
    if (digits.size() > kMaxPortLength) {
      DiagLog(DIAG_WARNING, "Port number is longer than 5 characters!");
    } else {
      port = LeadingDecimal(digits);
      if (port == 0) port = kRtmpDefaultPort;
      DiagLog(DIAG_DEBUG, "Parsed port    : %d", port);
    }
  }

  if (protocol == RTMP_PROTOCOL_RTMP) {
    if (port == 0) port = kRtmpDefaultPort;
  } else if (protocol == RTMP_PROTOCOL_RTMPT) {
    if (port == 0) port = kRtmptDefaultPort;
  } else {
    DiagLog(DIAG_WARNING, "Unknown protocol!\n");
  }

  if (authorityEnd >= rest.size() || rest[authorityEnd] != '/') {
    DiagLog(DIAG_WARNING, "No application or playpath in URL!");
    return true;
  }

  const std::string_view remainder = rest.substr(authorityEnd + 1);
  const bool hasQuery = remainder.find('?') != std::string_view::npos;
  const size_t slist = remainder.find("slist=");

  if (hasQuery && slist != std::string_view::npos) {
    // A play list in the query: the whole remainder is the application and
    // the first listed stream is the playpath, taken as given.
    app = std::string(remainder);
    DiagLog(DIAG_DEBUG, "Parsed app     : %s", app->c_str());
    const std::string_view value = remainder.substr(slist + 6);
    playpath = std::string(value.substr(0, value.find('&')));
    DiagLog(DIAG_DEBUG, "Parsed playpath: %s", playpath->c_str());
    return true;
  }

  size_t appLength;
  if (hasQuery) {
    appLength = remainder.find('?');
  } else if (StartsWith(remainder, "ondemand/") && remainder.size() > 9 &&
             std::isdigit(static_cast<unsigned char>(remainder[9])) &&
             remainder.find('/', 9) != std::string_view::npos) {
    appLength = remainder.find('/', 9) + 1;
  } else {
    appLength = std::min(remainder.find('/'), remainder.size());
  }
  app = std::string(remainder.substr(0, appLength));
  DiagLog(DIAG_DEBUG, "Parsed app     : %s", app->c_str());
  if (appLength == remainder.size()) return true;

  std::string_view path = remainder.substr(appLength);
  if (path.front() == '/') path.remove_prefix(1);

  if (path.empty()) {
    DiagLog(DIAG_ERROR, "No playpath found!");
    DiagLog(DIAG_WARNING, "No playpath in URL!");
    return true;
  }

  if (path.front() == '?') {
    const size_t slash = path.find('/');
    if (slash == std::string_view::npos) {
      playpath = std::string();
    } else {
      const std::string_view stream = path.substr(slash + 1);
      playpath = std::string(stream.substr(0, stream.find('?')));
    }
  } else {
    playpath = PlaypathFromPath(path);
  }
  DiagLog(DIAG_DEBUG, "Parsed playpath: %s", playpath->c_str());
  return true;
}
