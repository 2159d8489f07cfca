#include "crashreport/elf_symbols.h"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace faultwick {

namespace {

constexpr size_t kMaxSections = 512;
constexpr size_t kMaxProgramHeaders = 64;
constexpr size_t kSymbolChunk = 2048;

// Only the crash handler calls this, once at a time.
Elf64_Shdr g_sections[kMaxSections];
Elf64_Phdr g_program_headers[kMaxProgramHeaders];
Elf64_Sym g_symbols[kSymbolChunk];

bool ReadAt(int fd, void* to, size_t n, uint64_t offset) {
  char* p = static_cast<char*>(to);
  while (n > 0) {
    ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
    offset += static_cast<uint64_t>(r);
  }
  return true;
}

struct Candidate {
  bool holds = false;
  bool before = false;
  Elf64_Sym sym{};
};

bool IsFunction(const Elf64_Sym& s) {
  int type = ELF64_ST_TYPE(s.st_info);
  return (type == STT_FUNC || type == STT_GNU_IFUNC) && s.st_shndx != SHN_UNDEF && s.st_value != 0;
}

// Scans one symbol table for `vaddr`.
Candidate ScanTable(int fd, const Elf64_Shdr& table, uint64_t vaddr) {
  Candidate best;
  if (table.sh_entsize != sizeof(Elf64_Sym)) return best;
  uint64_t count = table.sh_size / sizeof(Elf64_Sym);
  for (uint64_t first = 0; first < count; first += kSymbolChunk) {
    size_t n = static_cast<size_t>(count - first < kSymbolChunk ? count - first : kSymbolChunk);
    if (!ReadAt(fd, g_symbols, n * sizeof(Elf64_Sym), table.sh_offset + first * sizeof(Elf64_Sym)))
      return best;
    for (size_t i = 0; i < n; ++i) {
      const Elf64_Sym& s = g_symbols[i];
      if (!IsFunction(s) || s.st_value > vaddr) continue;
      if (vaddr < s.st_value + s.st_size) {
        best.holds = true;
        best.sym = s;
        return best;
      }
      if (!best.before || s.st_value > best.sym.st_value) {
        best.before = true;
        best.sym = s;
      }
    }
  }
  return best;
}

}  // namespace

ElfSymbol FindElfSymbol(const char* path, uintptr_t base, uintptr_t address, char* name,
                        size_t name_capacity) {
  ElfSymbol result{0, false};
  if (name_capacity == 0) return result;
  name[0] = '\0';
  int fd;
  do fd = ::open(path, O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return result;

  Elf64_Ehdr eh;
  if (!ReadAt(fd, &eh, sizeof eh, 0) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_shentsize != sizeof(Elf64_Shdr) ||
      eh.e_phentsize != sizeof(Elf64_Phdr) || eh.e_shnum > kMaxSections ||
      eh.e_phnum > kMaxProgramHeaders) {
    ::close(fd);
    return result;
  }

  // The load bias: where the first loaded segment landed against where the
  // file asks for it (zero for a fixed-address program).
  uint64_t first_vaddr = 0;
  bool have_load = false;
  if (ReadAt(fd, g_program_headers, eh.e_phnum * sizeof(Elf64_Phdr), eh.e_phoff)) {
    for (size_t i = 0; i < eh.e_phnum && !have_load; ++i) {
      if (g_program_headers[i].p_type == PT_LOAD) {
        first_vaddr = g_program_headers[i].p_vaddr - g_program_headers[i].p_offset;
        have_load = true;
      }
    }
  }
  uintptr_t bias = base - static_cast<uintptr_t>(first_vaddr);
  uint64_t vaddr = address - bias;

  Candidate found;
  uint32_t strtab_index = 0;
  if (have_load && ReadAt(fd, g_sections, eh.e_shnum * sizeof(Elf64_Shdr), eh.e_shoff)) {
    const uint32_t kTables[] = {SHT_SYMTAB, SHT_DYNSYM};
    for (uint32_t want : kTables) {
      for (size_t i = 0; i < eh.e_shnum && !found.holds; ++i) {
        if (g_sections[i].sh_type != want || g_sections[i].sh_link >= eh.e_shnum) continue;
        Candidate c = ScanTable(fd, g_sections[i], vaddr);
        if (c.holds || (c.before && (!found.before || c.sym.st_value > found.sym.st_value))) {
          found = c;
          strtab_index = g_sections[i].sh_link;
        }
      }
      if (found.holds) break;
    }
  }

  if (found.holds || found.before) {
    const Elf64_Shdr& strtab = g_sections[strtab_index];
    if (found.sym.st_name < strtab.sh_size) {
      uint64_t left = strtab.sh_size - found.sym.st_name;
      size_t n = name_capacity - 1;
      if (left < n) n = static_cast<size_t>(left);
      if (ReadAt(fd, name, n, strtab.sh_offset + found.sym.st_name)) {
        name[n] = '\0';
        result.found = name[0] != '\0';
        result.start = static_cast<uintptr_t>(found.sym.st_value) + bias;
      } else {
        name[0] = '\0';
      }
    }
  }
  ::close(fd);
  return result;
}

}  // namespace faultwick
