// What the AMF0 and AMF3 decoders (amf.cpp, amf3.cpp) share.
#pragma once

#include <cstdint>

#include "rtmp/amf.h"

namespace amf_decoding {

// Counts one more level of nesting for the life of a nested decode.
class NestingLevel {
 public:
  explicit NestingLevel(AMFDecodeState& state) : state_(state) { ++state_.depth; }
  ~NestingLevel() { --state_.depth; }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;

 private:
  AMFDecodeState& state_;
};

// A position in the data as the diagnostic lines show it.
inline unsigned AddressOf(const char* p) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace amf_decoding
