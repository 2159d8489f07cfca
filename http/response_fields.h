// Reading the values of the response fields that decide what is done with
// the body: its length and, for a resumed download, the range it covers.
#pragma once

#include <cstdint>

// A byte count as "Content-Length" gives it: leading blanks skipped, digits
// up to the first other character. False when there are no digits or the
// number is past kMaxByteCount.
bool ParseContentLength(const char* value, int64_t* length);

struct ContentRange {
  int64_t first = 0;
  int64_t last = 0;
  int64_t complete = -1;  // -1 for "*" (size not told)
};

// "bytes FIRST-LAST/COMPLETE" (or ".../*"), blanks allowed before each
// number. False for anything else, for LAST below FIRST, and for a
// COMPLETE that does not reach past LAST.
bool ParseContentRange(const char* value, ContentRange* range);
