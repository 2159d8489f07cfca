// Texts in fixed-size fields of blocks shared with other processes. A field
// written by someone else may lack its terminator: reading stops at the
// field's end. Writing never passes the field and always leaves a terminator.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace capture {

static_assert(std::endian::native == std::endian::little, "the blocks hold little-endian numbers");

inline std::string FieldText(const uint8_t* field, size_t size) {
  const void* end = std::memchr(field, 0, size);
  size_t n = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - field) : size;
  return std::string(reinterpret_cast<const char*>(field), n);
}

// Copies at most size - 1 bytes and zero-fills the rest of the field. False
// when the text had to be cut.
inline bool WriteField(uint8_t* field, size_t size, std::string_view text) {
  if (size == 0) return text.empty();
  size_t n = text.size() < size ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, size - n);
  return n == text.size();
}

inline uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline void WriteU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace capture
