// Byte-level AMF readers and writers. Multi-byte values are big-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Fixed-size readers: the caller has checked that the bytes are there.
uint16_t AMFReadInt16(const char* data);
uint32_t AMFReadInt24(const char* data);
uint32_t AMFReadInt32(const char* data);
double AMFReadNumber(const char* data);  // 8-byte IEEE 754 double
bool AMFReadBool(const char* data);      // true only for the byte 0x01

// AMF0 string body: 16-bit unsigned length, then that many bytes. The text
// ends at the first zero byte among them, but the whole length is consumed.
// Returns the bytes used (2 + length), or 0 when they do not fit in `size`.
int AMFReadString(const char* data, int size, std::string* text);

// Writers return the bytes written, or 0 when the value does not fit before
// `end` (nothing is written then), so a command that would overflow its
// buffer can be refused instead of cut.
int AMFEncodeInt16(char* output, const char* end, uint16_t value);
int AMFEncodeInt24(char* output, const char* end, uint32_t value);
int AMFEncodeInt32(char* output, const char* end, uint32_t value);
// Marker 0x00 and the double: 9 bytes.
int AMFEncodeNumber(char* output, const char* end, double value);
// Marker 0x01 and 0x01 or 0x00: 2 bytes.
int AMFEncodeBoolean(char* output, const char* end, bool value);
// Marker 0x02, 16-bit length, the bytes: length + 3. Texts longer than
// 65,535 bytes cannot be written as an AMF0 string and give 0.
int AMFEncodeString(char* output, const char* end, std::string_view text);
// An object property: 16-bit name length, the name, then the value as above.
int AMFEncodeNamedNumber(char* output, const char* end, std::string_view name, double value);
int AMFEncodeNamedBoolean(char* output, const char* end, std::string_view name, bool value);
int AMFEncodeNamedString(char* output, const char* end, std::string_view name,
                         std::string_view text);
// The end marker of an object: 0x00 0x00 0x09.
constexpr uint32_t kAMFObjectEnd = 9;

// AMF3 variable-length 29-bit integer; a 4-byte value is signed. Returns the
// bytes used (1 to 4), or 0 when the integer runs past `size`.
int AMF3ReadInteger(const char* data, int size, int32_t* value);

// AMF3 string. Inline strings are returned in `text`. References are not
// supported: logged with `caller` (the decoding operation), only the header is
// consumed and the text is empty. Returns the bytes used, or 0 when the header
// or the inline bytes run past `size`.
int AMF3ReadString(const char* data, int size, std::string* text, const char* caller);
