// Comparisons of single-byte texts that ignore ASCII case.
#pragma once

#include <strings.h>

#include <string>

namespace capture {

inline bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const size_t n = std::char_traits<char>::length(prefix);
  return s.size() >= n && ::strncasecmp(s.data(), prefix, n) == 0;
}

inline bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace capture
