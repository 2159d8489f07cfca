// The HTTP response header reader over a byte stream from the server, with
// the status and field parsing the download worker relies on. The input
// after its first byte is written into one end of a socketpair, whose
// writing side is then shut; an shDownLoad that adopted the other end sends
// a request, reads and splits the header, and the fields are looked up and
// parsed; the body is then received to its end. The first byte is the
// capacity given to the field lookups and the line reader (0 to 255).
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/byte_count.h"
#include "http/response_fields.h"
#include "http/sh_download.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Room for the kept header, all that is read past it, and a body, while
// staying well inside what a socketpair buffers, so that nothing blocks.
constexpr size_t kMaxStream = 96 * 1024;

const char* const kNames[] = {"Content-Length", "Content-Range", "Content", "C", "", "Connection",
                              "Transfer-Encoding", "Location", "X-Filler"};

// A lookup copies at most `capacity` bytes and a NUL, into an exact buffer.
void LookUp(shDownLoad& c, const char* name, int capacity) {
  std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(capacity) + 1]);
  if (c.FindField(name, buffer.get(), capacity)) {
    if (std::strlen(buffer.get()) > static_cast<size_t>(capacity)) std::abort();
    int64_t length = 0;
    if (ParseContentLength(buffer.get(), &length) && (length < 0 || length > kMaxByteCount)) std::abort();
  }
  std::string value;
  if (c.FindFullHeaderField(name, &value)) {
    if (value.find("\r\n") != std::string::npos) std::abort();
    ContentRange range;
    if (ParseContentRange(value.c_str(), &range) &&
        (range.first < 0 || range.last < range.first ||
         (range.complete != -1 && range.complete <= range.last)))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int capacity = data[0];
  ++data;
  --size;
  if (size > kMaxStream) size = kMaxStream;

  int fds[2];
  fuzz::QueueStream(data, size, fds);

  {
    shDownLoad c;
    if (!c.AdoptSocket(fds[1])) std::abort();
    if (!c.BuildRequest("fuzz.test", "/clip.flv", "", "", "", 1000, 0, nullptr)) std::abort();
    if (!c.Send()) std::abort();
    const int length = c.HeaderLength();
    if (length < 0 || length > shDownLoad::kHeaderLimit) std::abort();

    // The line reader hands out the kept header exactly once, then starts over.
    std::unique_ptr<char[]> line(new char[static_cast<size_t>(capacity) + 1]);
    int total = 0;
    for (int n; (n = c.ReadLine(line.get(), capacity)) != -1;) {
      if (n < 0 || n > capacity) std::abort();
      total += n;
      if (capacity == 0 && total == 0) break;  // a zero capacity never advances
    }
    if (capacity > 0 && total != length) std::abort();

    for (const auto& f : c.Fields()) {
      const char* begin = c.HeaderText();
      if (f.name < begin || f.nameLength < 0 || f.name + f.nameLength > begin + length ||
          f.value < begin || f.valueLength < 0 || f.value + f.valueLength > begin + length)
        std::abort();
    }
    for (const char* name : kNames) LookUp(c, name, capacity);

    char body[1024];
    for (int n; (n = c.Receive(body, sizeof body)) > 0;) {
    }
  }
  close(fds[0]);
  return 0;
}
