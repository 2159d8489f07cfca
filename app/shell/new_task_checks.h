// The rules of the new-download dialog that need no window: what the
// clipboard may prefill, which addresses and file names are accepted.
#pragma once

#include <string>

// The clipboard text as a URL: longer than 4 characters and starting with
// "http:", "https:", "ftp:" or "rtmp:" (any case), with every CR LF removed; else empty.
std::string UrlFromClipboard(const std::string& clipboard);

// Has a scheme and a server the way the URL splitter sees them.
bool IsWellFormedUrl(const std::string& url);

// Not empty and free of \ / : * ? " > < | %.
bool IsValidFileName(const std::string& name);
