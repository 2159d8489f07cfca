#include "crashreport/exception_codes.h"

#include <signal.h>

namespace faultwick {

namespace {

struct ExceptionEntry {
  uint32_t code;
  const char* name;
};

constexpr ExceptionEntry kExceptionNames[20] = {
    {0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
    {0xC000008C, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
    {0x80000003, "EXCEPTION_BREAKPOINT"},
    {0x80000002, "EXCEPTION_DATATYPE_MISALIGNMENT"},
    {0xC000008D, "EXCEPTION_FLT_DENORMAL_OPERAND"},
    {0xC000008E, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
    {0xC000008F, "EXCEPTION_FLT_INEXACT_RESULT"},
    {0xC0000090, "EXCEPTION_FLT_INVALID_OPERATION"},
    {0xC0000091, "EXCEPTION_FLT_OVERFLOW"},
    {0xC0000092, "EXCEPTION_FLT_STACK_CHECK"},
    {0xC0000093, "EXCEPTION_FLT_UNDERFLOW"},
    {0xC000001D, "EXCEPTION_ILLEGAL_INSTRUCTION"},
    {0xC0000006, "EXCEPTION_IN_PAGE_ERROR"},
    {0xC0000094, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
    {0xC0000095, "EXCEPTION_INT_OVERFLOW"},
    {0xC0000026, "EXCEPTION_INVALID_DISPOSITION"},
    {0xC0000025, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
    {0xC0000096, "EXCEPTION_PRIV_INSTRUCTION"},
    {0x80000004, "EXCEPTION_SINGLE_STEP"},
    {0xC00000FD, "EXCEPTION_STACK_OVERFLOW"},
};

}  // namespace

const char* ExceptionName(uint32_t code) {
  for (const ExceptionEntry& e : kExceptionNames)
    if (e.code == code) return e.name;
  return "Unknown Exception";
}

uint32_t ExceptionCodeForSignal(int signo, int si_code, uintptr_t fault_address,
                                uintptr_t stack_pointer) {
  switch (signo) {
    case SIGSEGV: {
      // A push or call past the stack's guard faults at or just below the
      // stack pointer; anywhere else it is a plain bad access.
      bool near_sp = fault_address <= stack_pointer
                         ? stack_pointer - fault_address <= kStackOverflowReach
                         : fault_address - stack_pointer <= 256;
      if (si_code > 0 && fault_address >= kStackOverflowReach && near_sp) return kStackOverflow;
      return kAccessViolation;
    }
    case SIGBUS:
      return si_code == BUS_ADRALN ? kDatatypeMisalignment : kInPageError;
    case SIGFPE:
      switch (si_code) {
        case FPE_INTDIV: return kIntDivideByZero;
        case FPE_INTOVF: return kIntOverflow;
        case FPE_FLTDIV: return kFltDivideByZero;
        case FPE_FLTOVF: return kFltOverflow;
        case FPE_FLTUND: return kFltUnderflow;
        case FPE_FLTRES: return kFltInexactResult;
        case FPE_FLTSUB: return kArrayBoundsExceeded;
        default: return kFltInvalidOperation;
      }
    case SIGILL:
      return si_code == ILL_PRVOPC || si_code == ILL_PRVREG ? kPrivInstruction
                                                            : kIllegalInstruction;
    case SIGTRAP:
      return si_code == TRAP_TRACE ? kSingleStep : kBreakpoint;
    case SIGABRT:
      return kFatalAppExit;
    default:
      return 0;
  }
}

}  // namespace faultwick
