#include "http/response_fields.h"

#include <strings.h>

#include "core/byte_count.h"

namespace {

bool ParseCount(const char*& p, int64_t* value) {
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return false;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > kMaxByteCount) return false;
  }
  *value = v;
  return true;
}

}  // namespace

bool ParseContentLength(const char* value, int64_t* length) {
  if (!value || !length) return false;
  return ParseCount(value, length);
}

bool ParseContentRange(const char* value, ContentRange* range) {
  if (!value || !range) return false;
  const char* p = value;
  while (*p == ' ' || *p == '\t') ++p;
  if (::strncasecmp(p, "bytes", 5) != 0) return false;
  p += 5;
  ContentRange r;
  if (!ParseCount(p, &r.first) || *p++ != '-' || !ParseCount(p, &r.last) || *p++ != '/') return false;
  if (r.last < r.first) return false;
  if (*p == '*') {
    r.complete = -1;
  } else if (!ParseCount(p, &r.complete) || r.complete <= r.last) {
    return false;
  }
  *range = r;
  return true;
}
