// The control's invoke-request parser on untrusted text: every split it
// returns must rebuild the request exactly, with or without a known arity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "flash/invoke_request.h"

namespace {

void CheckRoundTrip(std::string_view request, const flash::InvokeCall& call) {
  if (flash::BuildInvokeRequest(call.name, call.arguments) != request) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::string request(reinterpret_cast<const char*>(data), size);
  flash::InvokeCall call;
  if (flash::ParseInvokeRequest(request, &call)) CheckRoundTrip(request, call);
  for (size_t arity : {0u, 1u, 3u, 7u}) {
    flash::InvokeCall exact;
    if (flash::ParseInvokeRequest(request, arity, &exact)) {
      if (exact.arguments.size() != arity) std::abort();
      CheckRoundTrip(request, exact);
    }
  }
  return 0;
}
