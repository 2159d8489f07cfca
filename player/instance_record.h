// The single-instance record: a 16-byte named shared block in which the
// running player keeps its main window's handle as eight lowercase hex
// digits in UTF-16, without terminator. A second start finds the first
// instance through it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/message_port.h"
#include "platform/shared_memory.h"

inline constexpr char kPellumoInstanceName[] = "6B2F4D1E-93A7-4C58-B0E6-2D71F94A8C35";
inline constexpr size_t kInstanceRecordSize = 16;

// "%08x" as UTF-16 code units (little-endian, as the record is read back).
std::array<uint8_t, kInstanceRecordSize> EncodeInstanceRecord(platform::WindowHandle handle);
// Reads the hex digits up to the first other character; 0 when there are none.
platform::WindowHandle ParseInstanceRecord(const uint8_t* bytes, size_t size);

// The handle of a running instance's frame, or 0 when there is none: no
// record, or a record whose window no longer answers.
platform::WindowHandle FindRunningInstance(const std::string& name = kPellumoInstanceName);

class CInstanceMutex {
 public:
  // Creates (or takes over a stale) record and writes the handle into it.
  bool Create(platform::WindowHandle frame, const std::string& name = kPellumoInstanceName);
  // Removes the name, so no later start mistakes this process for a live one.
  ~CInstanceMutex();

 private:
  platform::SharedMemory block_;
  std::string name_;
};
