// Shared by the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

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

// An exact heap copy of the input, so the address sanitizer sees any read
// past its end.
inline std::unique_ptr<char[]> ExactCopy(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);
  return copy;
}

}  // namespace fuzz
