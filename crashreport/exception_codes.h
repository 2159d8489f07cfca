// The exception codes a crash report names, and how a fatal signal maps
// onto them.
#pragma once

#include <cstdint>

namespace faultwick {

inline constexpr uint32_t kAccessViolation = 0xC0000005;
inline constexpr uint32_t kArrayBoundsExceeded = 0xC000008C;
inline constexpr uint32_t kBreakpoint = 0x80000003;
inline constexpr uint32_t kDatatypeMisalignment = 0x80000002;
inline constexpr uint32_t kFltDivideByZero = 0xC000008E;
inline constexpr uint32_t kFltInexactResult = 0xC000008F;
inline constexpr uint32_t kFltInvalidOperation = 0xC0000090;
inline constexpr uint32_t kFltOverflow = 0xC0000091;
inline constexpr uint32_t kFltUnderflow = 0xC0000093;
inline constexpr uint32_t kIllegalInstruction = 0xC000001D;
inline constexpr uint32_t kInPageError = 0xC0000006;
inline constexpr uint32_t kIntDivideByZero = 0xC0000094;
inline constexpr uint32_t kIntOverflow = 0xC0000095;
inline constexpr uint32_t kPrivInstruction = 0xC0000096;
inline constexpr uint32_t kSingleStep = 0x80000004;
inline constexpr uint32_t kStackOverflow = 0xC00000FD;
// abort() ends a program with this status on the original platform; it has
// no entry in the name table.
inline constexpr uint32_t kFatalAppExit = 0x40000015;

// "EXCEPTION_..." for a code of the table, else "Unknown Exception".
const char* ExceptionName(uint32_t code);

// A SIGSEGV whose fault address lies this close to the stack pointer is
// taken as running off the end of the stack.
inline constexpr uintptr_t kStackOverflowReach = 64 * 1024;

// The code for a fatal signal, from its number, its si_code, the fault
// address and the stack pointer at the fault.
uint32_t ExceptionCodeForSignal(int signo, int si_code, uintptr_t fault_address,
                                uintptr_t stack_pointer);

}  // namespace faultwick
