#include "app/shell/new_task_checks.h"

#include "core/ansi_text.h"
#include "http/url_split.h"

std::string UrlFromClipboard(const std::string& text) {
  if (text.size() <= 4) return {};
  if (!StartsWithNoCase(text, "http:") && !StartsWithNoCase(text, "https:") && !StartsWithNoCase(text, "ftp:") &&
      !StartsWithNoCase(text, "rtmp:"))
    return {};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

bool IsWellFormedUrl(const std::string& url) {
  UrlParts parts;
  return SplitUrl(url, &parts) && !parts.service.empty() && !parts.server.empty();
}

bool IsValidFileName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\/:*?\"><|%") == std::string::npos;
}
