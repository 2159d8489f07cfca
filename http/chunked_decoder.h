// Decodes an HTTP/1.1 chunked body as it arrives, in pieces of any size:
// hexadecimal chunk sizes (extensions ignored), the data, and the trailer
// lines after the last chunk. Input from the network: anything malformed,
// and chunk sizes past 2^60, end decoding with an error.
#pragma once

#include <cstddef>
#include <cstdint>

class ChunkedDecoder {
 public:
  // Decodes `size` bytes of `in`, writing the body bytes among them to `out`
  // (room for `size` bytes; it may be `in` itself). Returns how many were
  // written, or -1 once the stream is malformed. Bytes after the end are ignored.
  int64_t Feed(const char* in, size_t size, char* out);
  // The last chunk and the trailer's blank line have arrived.
  bool Done() const { return state_ == State::Done; }
  bool Failed() const { return state_ == State::Error; }

 private:
  enum class State { Size, SizeBlank, Extension, SizeLineEnd, Data, DataCR, DataLF, TrailerStart, TrailerLine,
                     TrailerLineEnd, FinalLF, Done, Error };
  State state_ = State::Size;
  uint64_t remaining_ = 0;
  int digits_ = 0;
};
