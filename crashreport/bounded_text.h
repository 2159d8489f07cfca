// Text built into a fixed buffer that the caller owns. Usable inside a
// signal handler: no allocation, no locale, every write bounded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace faultwick {

class BoundedText {
 public:
  // `capacity` counts the terminator; the text is always terminated.
  BoundedText(char* buffer, size_t capacity);

  BoundedText& Add(const char* s);
  BoundedText& Add(const char* s, size_t n);
  BoundedText& AddChar(char c);
  BoundedText& AddDec(int64_t v);
  // Upper-case hexadecimal, at least `min_digits` digits (zero padded).
  BoundedText& AddHex(uint64_t v, int min_digits = 1);
  // Decimal with at least `min_digits` digits, for date fields.
  BoundedText& AddPadded(uint64_t v, int min_digits);

  void Clear();
  void Truncate(size_t n);
  const char* c_str() const { return buf_; }
  size_t size() const { return len_; }
  // True once something did not fit; the text then holds what did.
  bool overflowed() const { return overflow_; }

 private:
  char* buf_;
  size_t cap_;
  size_t len_ = 0;
  bool overflow_ = false;
};

// Length of a terminated text, bounded by `max`.
size_t BoundedLength(const char* s, size_t max);

}  // namespace faultwick
