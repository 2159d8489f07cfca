#include "http/chunked_decoder.h"

#include <algorithm>
#include <cstring>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr int kMaxSizeDigits = 15;  // below 2^60: no counter downstream overflows

}  // namespace

int64_t ChunkedDecoder::Feed(const char* in, size_t size, char* out) {
  if (state_ == State::Error) return -1;
  int64_t written = 0;
  size_t i = 0;
  while (i < size && state_ != State::Done && state_ != State::Error) {
    const char c = in[i];
    switch (state_) {
      case State::Size: {
        const int v = HexValue(c);
        if (v >= 0) {
          if (++digits_ > kMaxSizeDigits) {
            state_ = State::Error;
            break;
          }
          remaining_ = remaining_ * 16 + static_cast<uint64_t>(v);
        } else if (digits_ == 0) {
          state_ = State::Error;
          break;
        } else if (c == ' ' || c == '\t') {
          state_ = State::SizeBlank;
        } else if (c == ';') {
          state_ = State::Extension;
        } else if (c == '\r') {
          state_ = State::SizeLineEnd;
        } else if (c == '\n') {
          state_ = remaining_ ? State::Data : State::TrailerStart;
        } else {
          state_ = State::Error;
        }
        ++i;
        break;
      }
      case State::SizeBlank:
        if (c == ';') state_ = State::Extension;
        else if (c == '\r') state_ = State::SizeLineEnd;
        else if (c == '\n') state_ = remaining_ ? State::Data : State::TrailerStart;
        else if (c != ' ' && c != '\t') state_ = State::Error;
        ++i;
        break;
      case State::Extension:
        if (c == '\r') state_ = State::SizeLineEnd;
        else if (c == '\n') state_ = remaining_ ? State::Data : State::TrailerStart;
        ++i;
        break;
      case State::SizeLineEnd:
        state_ = c != '\n' ? State::Error : remaining_ ? State::Data : State::TrailerStart;
        ++i;
        break;
      case State::Data: {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining_, size - i));
        std::memmove(out + written, in + i, n);
        written += static_cast<int64_t>(n);
        i += n;
        remaining_ -= n;
        if (remaining_ == 0) state_ = State::DataCR;
        break;
      }
      case State::DataCR:
        if (c == '\r') state_ = State::DataLF;
        else if (c == '\n') state_ = State::Size, digits_ = 0;
        else state_ = State::Error;
        ++i;
        break;
      case State::DataLF:
        if (c == '\n') {
          state_ = State::Size;
          digits_ = 0;
        } else {
          state_ = State::Error;
        }
        ++i;
        break;
      case State::TrailerStart:
        // A blank line ends the body; anything else is a trailer field.
        if (c == '\r') state_ = State::FinalLF;
        else if (c == '\n') state_ = State::Done;
        else state_ = State::TrailerLine;
        ++i;
        break;
      case State::TrailerLine:
        if (c == '\r') state_ = State::TrailerLineEnd;
        else if (c == '\n') state_ = State::TrailerStart;
        ++i;
        break;
      case State::TrailerLineEnd:
        state_ = c == '\n' ? State::TrailerStart : State::Error;
        ++i;
        break;
      case State::FinalLF:
        state_ = c == '\n' ? State::Done : State::Error;
        ++i;
        break;
      case State::Done:
      case State::Error:
        break;
    }
  }
  return state_ == State::Error ? -1 : written;
}
