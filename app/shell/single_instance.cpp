#include "app/shell/single_instance.h"

#include <cstdio>
#include <cstring>

#include "platform/message_port.h"

namespace shell {

const char kInstanceBlockName[] = "{5E0C7A3B-9D41-4F26-B8E3-1A7C2D9F6B04}";

namespace {
constexpr size_t kBlockSize = 8;
}

std::string FormatInstanceHandle(uint32_t handle) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", handle);
  return text;
}

std::optional<uint32_t> ParseInstanceHandle(const uint8_t* bytes, size_t size) {
  if (!bytes || size < kBlockSize) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < kBlockSize; ++i) {
    const char c = static_cast<char>(bytes[i]);
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

bool InstanceBlock::Publish(uint32_t windowHandle, const std::string& name) {
  if (!block_.Create(name, kBlockSize)) return false;
  const std::string text = FormatInstanceHandle(windowHandle);
  std::memcpy(block_.Data(), text.data(), kBlockSize);
  name_ = name;
  return true;
}

void InstanceBlock::Release() {
  if (!block_.IsOpen()) return;
  block_.Close();
  platform::SharedMemory::Unlink(name_);
}

std::optional<uint32_t> FindRunningInstance(const std::string& name) {
  platform::SharedMemory block;
  if (!block.Open(name, kBlockSize, false)) return std::nullopt;
  std::optional<uint32_t> handle = ParseInstanceHandle(block.Data(), block.Size());
  block.Close();
  if (!handle || *handle == 0 || !platform::IsWindow(*handle)) return std::nullopt;
  return handle;
}

}  // namespace shell
