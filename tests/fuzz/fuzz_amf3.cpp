// AMF3 decoding of untrusted bytes: objects on their own and behind the
// AMF0 switch marker, and single values with and without a name.
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

  for (bool flag : {false, true}) {
    AMFObject obj;
    const int used = obj.AMF3Decode(copy.get(), n, flag);
    fuzz::CheckConsumed(used, size);
    if (used >= 0) obj.Dump();
    AMFObjectProperty prop;
    const int propUsed = prop.AMF3Decode(copy.get(), n, flag);
    fuzz::CheckConsumed(propUsed, size);
    if (propUsed >= 0) prop.Dump();
  }
  return 0;
}
