#include "player/instance_record.h"

#include <cstring>

std::array<uint8_t, kInstanceRecordSize> EncodeInstanceRecord(platform::WindowHandle handle) {
  static const char kDigits[] = "0123456789abcdef";
  std::array<uint8_t, kInstanceRecordSize> out{};
  for (int i = 0; i < 8; ++i) {
    out[2 * i] = static_cast<uint8_t>(kDigits[(handle >> (28 - 4 * i)) & 0xF]);
    out[2 * i + 1] = 0;
  }
  return out;
}

platform::WindowHandle ParseInstanceRecord(const uint8_t* bytes, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    int digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else break;
    // Eight digits fill a handle; more cannot come from a well-made record.
    value = (value << 4 | static_cast<uint64_t>(digit)) & 0xFFFFFFFFu;
  }
  return static_cast<platform::WindowHandle>(value);
}

platform::WindowHandle FindRunningInstance(const std::string& name) {
  platform::SharedMemory block;
  if (!block.Open(name, kInstanceRecordSize, false)) return 0;
  uint8_t copy[kInstanceRecordSize + 2] = {};
  std::memcpy(copy, block.Data(), kInstanceRecordSize);
  platform::WindowHandle handle = ParseInstanceRecord(copy, sizeof copy);
  if (handle == 0 || !platform::IsWindow(handle)) return 0;
  return handle;
}

bool CInstanceMutex::Create(platform::WindowHandle frame, const std::string& name) {
  if (!block_.Create(name, kInstanceRecordSize)) return false;
  name_ = name;
  auto record = EncodeInstanceRecord(frame);
  std::memcpy(block_.Data(), record.data(), record.size());
  return true;
}

CInstanceMutex::~CInstanceMutex() {
  if (!block_.IsOpen()) return;
  block_.Close();
  platform::SharedMemory::Unlink(name_);
}
