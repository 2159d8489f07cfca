#include "app/download/completion_name.h"

#include "core/ansi_text.h"

std::string FreeFinalName(const std::string& saveDir, const std::string& fileName,
                          const std::function<bool(const std::string&)>& exists) {
  if (!exists(TrimBlanks(saveDir + fileName))) return fileName;

  size_t dot = fileName.rfind('.');
  std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot);

  // Drop earlier numbering: "clip[2]" becomes "clip", but "[1]" has no "["
  // after its first character and stays.
  for (;;) {
    size_t open = base.rfind('[');
    if (base.empty() || base.back() != ']' || open == std::string::npos || open == 0) break;
    base.erase(open);
  }

  for (unsigned n = 0;; ++n) {
    std::string name = base + "[" + std::to_string(n) + "]" + extension;
    if (!exists(saveDir + name)) return name;
  }
}
