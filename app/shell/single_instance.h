// One running Tamborel per user: the running instance publishes its main
// window's handle in an 8-byte shared block ("%08x", no terminator); a
// starting one reads it and, when that window answers, raises it and ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/shared_memory.h"

namespace shell {

// The block's name: a fixed GUID.
extern const char kInstanceBlockName[];

// The handle text as stored ("%08x").
std::string FormatInstanceHandle(uint32_t handle);
// Exactly 8 hexadecimal digits; anything else is no handle.
std::optional<uint32_t> ParseInstanceHandle(const uint8_t* bytes, size_t size);

class InstanceBlock {
 public:
  // Creates (or takes over) the block and writes the handle; false leaves
  // the program without single-instance protection.
  bool Publish(uint32_t windowHandle, const std::string& name = kInstanceBlockName);
  void Release();

 private:
  platform::SharedMemory block_;
  std::string name_;
};

// The handle of a running instance whose window answers, if any.
std::optional<uint32_t> FindRunningInstance(const std::string& name = kInstanceBlockName);

}  // namespace shell
