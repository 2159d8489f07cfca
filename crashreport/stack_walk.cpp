#include "crashreport/stack_walk.h"

#include <unwind.h>

namespace faultwick {

namespace {

struct UnwindState {
  uintptr_t fault_pc;
  uintptr_t* pcs;
  size_t max;
  size_t count;
  bool reached_fault;
};

_Unwind_Reason_Code CollectFrame(struct _Unwind_Context* ctx, void* arg) {
  auto* st = static_cast<UnwindState*>(arg);
  int before_insn = 0;
  uintptr_t ip = static_cast<uintptr_t>(_Unwind_GetIPInfo(ctx, &before_insn));
  if (!st->reached_fault) {
    // Frames of the handler itself come first; the signal frame reports
    // the exact faulting address.
    if (ip != st->fault_pc) return _URC_NO_REASON;
    st->reached_fault = true;
  }
  if (ip == 0 || st->count >= st->max) return _URC_END_OF_STACK;
  st->pcs[st->count++] = ip;
  return _URC_NO_REASON;
}

size_t WalkFramePointers(uintptr_t pc, uintptr_t fp, StackBounds stack, uintptr_t* pcs,
                         size_t max) {
  size_t count = 0;
  if (max == 0) return 0;
  pcs[count++] = pc;
  while (count < max && fp >= stack.low && fp + 16 <= stack.high && fp % 8 == 0) {
    const uintptr_t* frame = reinterpret_cast<const uintptr_t*>(fp);
    uintptr_t next = frame[0];
    uintptr_t ret = frame[1];
    if (ret == 0) break;
    pcs[count++] = ret;
    if (next <= fp) break;  // the chain must climb the stack
    fp = next;
  }
  return count;
}

}  // namespace

size_t WalkStack(uintptr_t pc, uintptr_t fp, StackBounds stack, uintptr_t* pcs,
                 size_t max) {
  UnwindState st{pc, pcs, max, 0, false};
  _Unwind_Backtrace(CollectFrame, &st);
  if (st.reached_fault && st.count > 1) return st.count;
  return WalkFramePointers(pc, fp, stack, pcs, max);
}

}  // namespace faultwick
