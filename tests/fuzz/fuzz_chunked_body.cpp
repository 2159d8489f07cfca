// Chunked body decoding of untrusted bytes, fed whole and in pieces whose
// sizes the input picks: both must give the same body, never more bytes
// than came in, and nothing after an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/chunked_decoder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The body decoded so far; *failed once the decoder refused the stream.
std::string Decode(const uint8_t* data, size_t size, size_t step, bool* failed, bool* done) {
  ChunkedDecoder d;
  std::string body;
  *failed = false;
  for (size_t i = 0; i < size; i += step) {
    const size_t n = size - i < step ? size - i : step;
    std::string piece(reinterpret_cast<const char*>(data) + i, n);
    int64_t got = d.Feed(piece.data(), n, piece.data());
    if (got < 0) {
      *failed = true;
      if (d.Feed("0\r\n\r\n", 5, piece.data()) != -1) std::abort();  // errors stick
      break;
    }
    if (static_cast<size_t>(got) > n) std::abort();
    body.append(piece.data(), static_cast<size_t>(got));
  }
  *done = d.Done();
  return body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietDiag();
  if (size < 1 || size > 1 << 20) return 0;
  const size_t step = data[0] % 16 + 1;
  bool failedWhole, doneWhole, failedPieces, donePieces;
  const std::string whole = Decode(data + 1, size - 1, size, &failedWhole, &doneWhole);
  const std::string pieces = Decode(data + 1, size - 1, step, &failedPieces, &donePieces);
  if (failedWhole != failedPieces) std::abort();
  if (!failedWhole && (whole != pieces || doneWhole != donePieces)) std::abort();
  return 0;
}
