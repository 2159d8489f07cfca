// Readable C++ symbol names for the crash report.
#pragma once

#include <cstddef>

namespace faultwick {

// Writes the demangled form of `name` into `out`, cut to fit; a name that is
// not a mangled C++ name, or does not demangle, is copied as it is. Works on
// the stack alone, so the crash handler may call it.
void DemangleSymbol(const char* name, char* out, size_t capacity);

}  // namespace faultwick
