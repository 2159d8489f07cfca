// AMF0 decoding of untrusted bytes: command bodies and metadata (a plain
// value sequence) and object bodies (named values up to the end marker).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "rtmp/amf.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietDiag();
  if (size > 1 << 20) return 0;
  const std::unique_ptr<char[]> copy = fuzz::ExactCopy(data, size);
  const int n = static_cast<int>(size);

  for (bool names : {false, true}) {
    AMFObject obj;
    const int used = obj.Decode(copy.get(), n, names);
    fuzz::CheckConsumed(used, size);
    if (used >= 0) {
      obj.Dump();
      AMFObject copied(obj);
      copied.GetProperty("duration");
    }
    AMFObjectProperty prop;
    fuzz::CheckConsumed(prop.Decode(copy.get(), n, names), size);
  }
  return 0;
}
