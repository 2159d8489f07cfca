#include "http/url_split.h"

#include <cctype>

namespace {

bool IsSchemeChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

}  // namespace

bool SplitUrl(const std::string& url, UrlParts* parts) {
  size_t sep = url.find("://");
  if (sep == std::string::npos || sep == 0 ||
      !std::isalpha(static_cast<unsigned char>(url[0])))
    return false;
  UrlParts p;
  for (size_t i = 0; i < sep; ++i) {
    if (!IsSchemeChar(url[i])) return false;
    p.service += static_cast<char>(std::tolower(static_cast<unsigned char>(url[i])));
  }

  size_t start = sep + 3;
  size_t end = url.find_first_of("/?#", start);
  if (end == std::string::npos) end = url.size();
  std::string authority = url.substr(start, end - start);
  size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);

  p.port = p.service == "https" ? 443 : 80;
  size_t colon = authority.find(':');
  if (colon != std::string::npos) {
    std::string digits = authority.substr(colon + 1);
    authority.erase(colon);
    if (!digits.empty()) {
      if (digits.size() > 5) return false;
      int port = 0;
      for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        port = port * 10 + (c - '0');
      }
      if (port < 1 || port > 65535) return false;
      p.port = port;
    }
  }
  if (authority.empty()) return false;
  p.server = authority;

  std::string rest = url.substr(end);
  size_t hash = rest.find('#');
  if (hash != std::string::npos) rest.erase(hash);
  p.object = rest.empty() || rest[0] != '/' ? "/" + rest : rest;
  *parts = p;
  return true;
}

std::string ResolveLocation(const UrlParts& base, const std::string& location) {
  std::string target = location;
  size_t hash = target.find('#');
  if (hash != std::string::npos) target.erase(hash);
  UrlParts absolute;
  if (target.find("://") != std::string::npos && SplitUrl(target, &absolute)) return target;
  if (target.compare(0, 2, "//") == 0) return base.service + ":" + target;
  const std::string origin = base.service + "://" + base.server + ":" + std::to_string(base.port);
  if (!target.empty() && target[0] == '/') return origin + target;
  std::string path = base.object;
  size_t query = path.find('?');
  if (!target.empty() && target[0] == '?') return origin + path.substr(0, query) + target;
  if (query != std::string::npos) path.erase(query);
  if (target.empty()) return origin + base.object;
  return origin + path.substr(0, path.rfind('/') + 1) + target;
}
