#include "rtmp/amf_bytes.h"

#include <cstring>

#include "rtmp/diag_log.h"

namespace {

uint8_t Byte(const char* data, int at) { return static_cast<uint8_t>(data[at]); }

bool Fits(const char* output, const char* end, size_t needed) {
  return output != nullptr && end >= output && static_cast<size_t>(end - output) >= needed;
}

void PutBigEndian(char* output, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    output[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

constexpr size_t kMaxAMF0StringLength = 0xFFFF;

}  // namespace

uint16_t AMFReadInt16(const char* data) {
  return static_cast<uint16_t>((Byte(data, 0) << 8) | Byte(data, 1));
}

uint32_t AMFReadInt24(const char* data) {
  return (static_cast<uint32_t>(Byte(data, 0)) << 16) | (Byte(data, 1) << 8) | Byte(data, 2);
}

uint32_t AMFReadInt32(const char* data) {
  return (static_cast<uint32_t>(Byte(data, 0)) << 24) | (Byte(data, 1) << 16) |
         (Byte(data, 2) << 8) | Byte(data, 3);
}

double AMFReadNumber(const char* data) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | Byte(data, i);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool AMFReadBool(const char* data) { return Byte(data, 0) == 0x01; }

int AMFReadString(const char* data, int size, std::string* text) {
  if (data == nullptr || size < 2) return 0;
  const int length = AMFReadInt16(data);
  if (length > size - 2) return 0;
  const char* bytes = data + 2;
  const void* zero = std::memchr(bytes, 0, length);
  text->assign(bytes, zero ? static_cast<const char*>(zero) - bytes : length);
  return 2 + length;
}

int AMFEncodeInt16(char* output, const char* end, uint16_t value) {
  if (!Fits(output, end, 2)) return 0;
  PutBigEndian(output, value, 2);
  return 2;
}

int AMFEncodeInt24(char* output, const char* end, uint32_t value) {
  if (!Fits(output, end, 3)) return 0;
  PutBigEndian(output, value, 3);
  return 3;
}

int AMFEncodeInt32(char* output, const char* end, uint32_t value) {
  if (!Fits(output, end, 4)) return 0;
  PutBigEndian(output, value, 4);
  return 4;
}

int AMFEncodeNumber(char* output, const char* end, double value) {
  if (!Fits(output, end, 9)) return 0;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  output[0] = 0x00;
  PutBigEndian(output + 1, bits, 8);
  return 9;
}

int AMFEncodeBoolean(char* output, const char* end, bool value) {
  if (!Fits(output, end, 2)) return 0;
  output[0] = 0x01;
  output[1] = value ? 0x01 : 0x00;
  return 2;
}

int AMFEncodeString(char* output, const char* end, std::string_view text) {
  if (text.size() > kMaxAMF0StringLength || !Fits(output, end, text.size() + 3)) return 0;
  output[0] = 0x02;
  PutBigEndian(output + 1, text.size(), 2);
  std::memcpy(output + 3, text.data(), text.size());
  return static_cast<int>(text.size()) + 3;
}

namespace {

// Writes the 16-bit name of a property; the value must then fit in `valueSize`.
int EncodeName(char* output, const char* end, std::string_view name, size_t valueSize) {
  if (name.size() > kMaxAMF0StringLength || !Fits(output, end, 2 + name.size() + valueSize))
    return 0;
  PutBigEndian(output, name.size(), 2);
  std::memcpy(output + 2, name.data(), name.size());
  return static_cast<int>(name.size()) + 2;
}

}  // namespace

int AMFEncodeNamedNumber(char* output, const char* end, std::string_view name, double value) {
  const int n = EncodeName(output, end, name, 9);
  return n == 0 ? 0 : n + AMFEncodeNumber(output + n, end, value);
}

int AMFEncodeNamedBoolean(char* output, const char* end, std::string_view name, bool value) {
  const int n = EncodeName(output, end, name, 2);
  return n == 0 ? 0 : n + AMFEncodeBoolean(output + n, end, value);
}

int AMFEncodeNamedString(char* output, const char* end, std::string_view name,
                         std::string_view text) {
  if (text.size() > kMaxAMF0StringLength) return 0;
  const int n = EncodeName(output, end, name, text.size() + 3);
  return n == 0 ? 0 : n + AMFEncodeString(output + n, end, text);
}

int AMF3ReadInteger(const char* data, int size, int32_t* value) {
  if (data == nullptr) return 0;
  int32_t result = 0;
  int used = 0;
  // Up to three bytes carry 7 bits each while their high bit is set.
  while (used < 3) {
    if (used >= size) return 0;
    const uint8_t b = Byte(data, used++);
    result = (result << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) {
      *value = result;
      return used;
    }
  }
  if (used >= size) return 0;
  result = (result << 8) | Byte(data, used++);
  if (result > 0x0FFFFFFF) result -= 0x20000000;
  *value = result;
  return used;
}

int AMF3ReadString(const char* data, int size, std::string* text, const char* caller) {
  int32_t header = 0;
  const int used = AMF3ReadInteger(data, size, &header);
  if (used == 0) return 0;
  // Headers are unsigned 29-bit values; a 4-byte one must not turn negative.
  const uint32_t bits = static_cast<uint32_t>(header) & 0x1FFFFFFF;
  if ((bits & 1) == 0) {
    DiagLog(DIAG_DEBUG, "%s, string reference, index: %d, not supported, ignoring!", caller,
            static_cast<int>(bits >> 1));
    text->clear();
    return used;
  }
  const uint32_t length = bits >> 1;
  if (length > static_cast<uint32_t>(size - used)) return 0;
  text->assign(data + used, length);
  return used + static_cast<int>(length);
}
