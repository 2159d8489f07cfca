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

struct FileHit {
  Candidate c;
  uint64_t strtab_offset = 0;
  uint64_t strtab_size = 0;
  int fd = -1;
};

// Reads the header of an ELF file this lookup can handle.
bool ReadHeader(int fd, Elf64_Ehdr* eh) {
  return ReadAt(fd, eh, sizeof *eh, 0) && std::memcmp(eh->e_ident, ELFMAG, SELFMAG) == 0 &&
         eh->e_ident[EI_CLASS] == ELFCLASS64 && eh->e_shentsize == sizeof(Elf64_Shdr) &&
         eh->e_phentsize == sizeof(Elf64_Phdr) && eh->e_shnum <= kMaxSections &&
         eh->e_phnum <= kMaxProgramHeaders;
}

bool Better(const Candidate& a, const Candidate& than) {
  if (than.holds) return false;
  return a.holds || (a.before && (!than.before || a.sym.st_value > than.sym.st_value));
}

// .symtab first, then .dynsym.
FileHit ScanFile(int fd, const Elf64_Ehdr& eh, uint64_t vaddr) {
  FileHit hit;
  hit.fd = fd;
  if (!ReadAt(fd, g_sections, eh.e_shnum * sizeof(Elf64_Shdr), eh.e_shoff)) return hit;
  const uint32_t kTables[] = {SHT_SYMTAB, SHT_DYNSYM};
  for (uint32_t want : kTables) {
    for (size_t i = 0; i < eh.e_shnum && !hit.c.holds; ++i) {
      if (g_sections[i].sh_type != want || g_sections[i].sh_link >= eh.e_shnum) continue;
      Candidate c = ScanTable(fd, g_sections[i], vaddr);
      if (Better(c, hit.c)) {
        hit.c = c;
        hit.strtab_offset = g_sections[g_sections[i].sh_link].sh_offset;
        hit.strtab_size = g_sections[g_sections[i].sh_link].sh_size;
      }
    }
  }
  return hit;
}

// The detached debug file of an image, found by its build id under
// /usr/lib/debug/.build-id; -1 when there is none.
int OpenDebugFile(int fd, const Elf64_Ehdr& eh) {
  for (size_t i = 0; i < eh.e_phnum; ++i) {
    const Elf64_Phdr& ph = g_program_headers[i];
    if (ph.p_type != PT_NOTE || ph.p_filesz > 1024) continue;
    alignas(8) unsigned char notes[1024];
    if (!ReadAt(fd, notes, ph.p_filesz, ph.p_offset)) continue;
    size_t at = 0;
    while (at + sizeof(Elf64_Nhdr) <= ph.p_filesz) {
      Elf64_Nhdr nh;
      std::memcpy(&nh, notes + at, sizeof nh);
      size_t name_at = at + sizeof nh;
      size_t desc_at = name_at + ((nh.n_namesz + 3) & ~3u);
      size_t next = desc_at + ((nh.n_descsz + 3) & ~3u);
      if (next > ph.p_filesz) break;
      if (nh.n_type == NT_GNU_BUILD_ID && nh.n_namesz == 4 &&
          std::memcmp(notes + name_at, "GNU", 4) == 0 && nh.n_descsz >= 2 && nh.n_descsz <= 64) {
        static const char kHex[] = "0123456789abcdef";
        char path[64 + 2 * 64 + 16] = "/usr/lib/debug/.build-id/";
        size_t n = std::strlen(path);
        const unsigned char* id = notes + desc_at;
        for (size_t k = 0; k < nh.n_descsz; ++k) {
          path[n++] = kHex[id[k] >> 4];
          path[n++] = kHex[id[k] & 15];
          if (k == 0) path[n++] = '/';
        }
        std::memcpy(path + n, ".debug", 7);
        int dfd;
        do dfd = ::open(path, O_RDONLY | O_CLOEXEC);
        while (dfd < 0 && errno == EINTR);
        return dfd;
      }
      at = next;
    }
  }
  return -1;
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
  if (!ReadHeader(fd, &eh) ||
      !ReadAt(fd, g_program_headers, eh.e_phnum * sizeof(Elf64_Phdr), eh.e_phoff)) {
    ::close(fd);
    return result;
  }
  // The load bias: where the first loaded segment landed against where the
  // file asks for it (zero for a fixed-address program).
  const Elf64_Phdr* first_load = nullptr;
  for (size_t i = 0; i < eh.e_phnum && !first_load; ++i)
    if (g_program_headers[i].p_type == PT_LOAD) first_load = &g_program_headers[i];
  if (!first_load) {
    ::close(fd);
    return result;
  }
  uintptr_t bias = base - static_cast<uintptr_t>(first_load->p_vaddr - first_load->p_offset);
  uint64_t vaddr = address - bias;

  FileHit hit = ScanFile(fd, eh, vaddr);
  // A stripped library keeps only its exported names; its debug file, when
  // installed, has them all.
  int debug_fd = -1;
  if (!hit.c.holds) {
    debug_fd = OpenDebugFile(fd, eh);
    Elf64_Ehdr deh;
    if (debug_fd >= 0 && ReadHeader(debug_fd, &deh)) {
      FileHit debug_hit = ScanFile(debug_fd, deh, vaddr);
      if (Better(debug_hit.c, hit.c)) hit = debug_hit;
    }
  }

  if ((hit.c.holds || hit.c.before) && hit.c.sym.st_name < hit.strtab_size) {
    uint64_t left = hit.strtab_size - hit.c.sym.st_name;
    size_t n = name_capacity - 1;
    if (left < n) n = static_cast<size_t>(left);
    if (ReadAt(hit.fd, name, n, hit.strtab_offset + hit.c.sym.st_name)) {
      name[n] = '\0';
      result.found = name[0] != '\0';
      result.start = static_cast<uintptr_t>(hit.c.sym.st_value) + bias;
    } else {
      name[0] = '\0';
    }
  }
  if (debug_fd >= 0) ::close(debug_fd);
  ::close(fd);
  return result;
}

}  // namespace faultwick
