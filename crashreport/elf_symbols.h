// Function names for code addresses, read straight from the ELF file's
// symbol tables with pread into fixed buffers (usable in a crash handler).
#pragma once

#include <cstddef>
#include <cstdint>

namespace faultwick {

struct ElfSymbol {
  uintptr_t start;  // run-time address of the symbol
  bool found;
};

// Looks `address` up in the image `path` whose file offset 0 is mapped at
// `base`. Prefers the function that holds the address (.symtab, else
// .dynsym, else the detached debug file under /usr/lib/debug/.build-id);
// without one, takes the nearest function before it, as a lookup by
// exported names would. The name is cut to fit `name`.
ElfSymbol FindElfSymbol(const char* path, uintptr_t base, uintptr_t address, char* name,
                        size_t name_capacity);

}  // namespace faultwick
