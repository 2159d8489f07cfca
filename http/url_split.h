// Splits an address into what the HTTP client needs, standing in for the
// framework's URL splitter.
#pragma once

#include <string>

struct UrlParts {
  std::string service;  // the scheme, lower case ("http")
  std::string server;   // host name, without user information or port
  std::string object;   // path and query, "/" when the address has none
  int port = 80;        // the given port, else 443 for https and 80 for the rest
};

// Needs "scheme://host"; false for anything else, an empty host or a bad port.
// The fragment is dropped: it never goes on the wire.
bool SplitUrl(const std::string& url, UrlParts* parts);

// The address a "Location" value points at, seen from the address `base`
// was split from: absolute ("scheme://..."), scheme-relative ("//host/..."),
// host-relative ("/path") or relative to base's folder ("clip.flv",
// "?query"). The fragment is dropped.
std::string ResolveLocation(const UrlParts& base, const std::string& location);
