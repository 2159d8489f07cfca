// Millisecond tick count standing in for the Windows one: a monotonic clock
// cut to 32 bits, so differences are taken in unsigned arithmetic.
#pragma once

#include <cstdint>

namespace platform {

uint32_t TickCountMs();

}  // namespace platform
