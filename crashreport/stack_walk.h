// The crashed thread's call chain, from inside the signal handler.
#pragma once

#include <cstddef>
#include <cstdint>

namespace faultwick {

struct StackBounds {
  uintptr_t low;
  uintptr_t high;
};

// Fills `pcs` with the faulting instruction address and then the return
// addresses of its callers. `pc` and `fp` are the crashed thread's
// registers from the signal context. The unwinder goes through the signal
// frame; when it cannot find the faulting frame, the frame-pointer chain
// inside `stack` is followed instead. Returns the count.
size_t WalkStack(uintptr_t pc, uintptr_t fp, StackBounds stack, uintptr_t* pcs,
                 size_t max);

}  // namespace faultwick
