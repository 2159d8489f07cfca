#include "http/chunked_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Feeds `stream` in pieces of `step` bytes; the body, or "ERROR".
std::string Decode(const std::string& stream, size_t step, bool* done) {
  ChunkedDecoder d;
  std::string body;
  for (size_t i = 0; i < stream.size(); i += step) {
    std::string piece = stream.substr(i, step);
    int64_t n = d.Feed(piece.data(), piece.size(), piece.data());
    if (n < 0) return "ERROR";
    body.append(piece.data(), static_cast<size_t>(n));
  }
  *done = d.Done();
  return body;
}

TEST(ChunkedDecoder, DecodesInPiecesOfAnySize) {
  const std::string stream =
      "5\r\nhello\r\n"
      "1;ext=\"a b\"\r\n,\r\n"
      "A \r\n0123456789\r\n"
      "0\r\nX-Trailer: t\r\n\r\n"
      "not part of the body";
  for (size_t step = 1; step <= stream.size(); ++step) {
    SCOPED_TRACE(step);
    bool done = false;
    EXPECT_EQ(Decode(stream, step, &done), "hello,0123456789");
    EXPECT_TRUE(done);
  }
}

TEST(ChunkedDecoder, UnfinishedAndMalformedStreams) {
  const struct {
    const char* stream;
    const char* body;  // "ERROR" when the stream is refused
    bool done;
  } cases[] = {
      {"3\r\nabc\r\n", "abc", false},            // cut before the last chunk
      {"3\r\nabc\r\n0\r\n", "abc", false},       // cut before the blank line
      {"3\nabc\n0\n\n", "abc", true},            // bare line feeds
      {"g\r\nabc\r\n", "ERROR", false},          // no hex digits
      {"\r\nabc\r\n", "ERROR", false},           // empty size
      {"3\r\nabcd\r\n", "ERROR", false},         // more data than announced
      {"1000000000000000\r\n", "ERROR", false},  // 16 digits: past 2^60
      {"3x\r\nabc\r\n", "ERROR", false},         // junk after the size
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stream);
    bool done = false;
    EXPECT_EQ(Decode(c.stream, 1000, &done), c.body);
    if (std::string(c.body) != "ERROR") {
      EXPECT_EQ(done, c.done);
    }
  }
}

}  // namespace
