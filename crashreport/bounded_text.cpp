#include "crashreport/bounded_text.h"

namespace faultwick {

BoundedText::BoundedText(char* buffer, size_t capacity) : buf_(buffer), cap_(capacity) {
  if (cap_ > 0) buf_[0] = '\0';
}

BoundedText& BoundedText::Add(const char* s) {
  if (!s) return *this;
  while (*s) AddChar(*s++);
  return *this;
}

BoundedText& BoundedText::Add(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) AddChar(s[i]);
  return *this;
}

BoundedText& BoundedText::AddChar(char c) {
  if (cap_ == 0 || len_ + 1 >= cap_) {
    overflow_ = true;
    return *this;
  }
  buf_[len_++] = c;
  buf_[len_] = '\0';
  return *this;
}

BoundedText& BoundedText::AddDec(int64_t v) {
  uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  if (v < 0) AddChar('-');
  return AddPadded(u, 1);
}

BoundedText& BoundedText::AddPadded(uint64_t v, int min_digits) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0 && n < 24);
  for (int i = n; i < min_digits; ++i) AddChar('0');
  while (n > 0) AddChar(digits[--n]);
  return *this;
}

BoundedText& BoundedText::AddHex(uint64_t v, int min_digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  char digits[16];
  int n = 0;
  do {
    digits[n++] = kDigits[v & 0xF];
    v >>= 4;
  } while (v != 0 && n < 16);
  for (int i = n; i < min_digits; ++i) AddChar('0');
  while (n > 0) AddChar(digits[--n]);
  return *this;
}

void BoundedText::Clear() {
  len_ = 0;
  overflow_ = false;
  if (cap_ > 0) buf_[0] = '\0';
}

void BoundedText::Truncate(size_t n) {
  if (n < len_) {
    len_ = n;
    buf_[len_] = '\0';
  }
}

size_t BoundedLength(const char* s, size_t max) {
  size_t n = 0;
  while (n < max && s[n]) ++n;
  return n;
}

}  // namespace faultwick
