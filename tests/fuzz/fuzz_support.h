// Shared by the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "rtmp/diag_log.h"

namespace fuzz {

// Every diagnostic line is formatted, so the dump and log paths run too, but
// written to /dev/null to keep the fuzzer fast and its output readable.
inline void QuietDiag() {
  static FILE* sink = [] {
    FILE* f = std::fopen("/dev/null", "w");
    if (f == nullptr) std::abort();
    return f;
  }();
  DiagSink = sink;
  DiagLevel = 5;
}

// A decoder result is either -1 or a count of bytes inside the input.
inline void CheckConsumed(int result, size_t size) {
  if (result == -1) return;
  if (result < 0 || static_cast<size_t>(result) > size) std::abort();
}

}  // namespace fuzz
