#include "crashreport/crash_report.h"

#include "crashreport/bounded_text.h"
#include "crashreport/demangle.h"
#include "crashreport/elf_symbols.h"
#include "crashreport/exception_codes.h"

namespace faultwick {

namespace {

// Decodes one UTF-8 sequence at *p; invalid bytes come out as U+FFFD.
wchar_t NextCodePoint(const unsigned char*& p, const unsigned char* end) {
  unsigned c = *p++;
  if (c < 0x80) return static_cast<wchar_t>(c);
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0) return static_cast<wchar_t>(0xFFFD);
  unsigned cp = c & (0x3Fu >> extra);
  for (int i = 0; i < extra; ++i) {
    if (p >= end || (*p & 0xC0) != 0x80) return static_cast<wchar_t>(0xFFFD);
    cp = (cp << 6) | (*p++ & 0x3Fu);
  }
  return static_cast<wchar_t>(cp);
}

constexpr size_t kMaxLineBytes = 10 * 1024;
char g_line[kMaxLineBytes];
char g_symbol[1024];
char g_readable[1024];

}  // namespace

void CrashReport::Clear() {
  length_ = 0;
  full_ = false;
  text_[0] = L'\0';
}

bool CrashReport::AddLine(const char* utf8, size_t n) {
  if (full_) return false;
  // Count first so that a line either goes in whole or not at all.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
  const unsigned char* end = p + n;
  size_t chars = 0;
  for (const unsigned char* q = p; q < end;) {
    NextCodePoint(q, end);
    ++chars;
  }
  if (length_ + chars + 1 > kCapacity) {
    full_ = true;
    return false;
  }
  while (p < end) text_[length_++] = NextCodePoint(p, end);
  text_[length_] = L'\0';
  return true;
}

bool CrashReport::AddLines(const char* utf8) {
  const char* line = utf8;
  for (const char* p = utf8; *p; ++p) {
    if (*p == '\n') {
      if (!AddLine(line, static_cast<size_t>(p + 1 - line))) return false;
      line = p + 1;
    }
  }
  if (*line) return AddLine(line, BoundedLength(line, kMaxLineBytes));
  return !full_;
}

void CrashReport::Build(const MemoryStatus& memory, const CrashContext& crash,
                        const ProcessMaps& maps, const uintptr_t* frames, size_t frame_count,
                        const char* report_path, const char* program_path) {
  Clear();
  BoundedText t(g_line, sizeof g_line);

  t.Add("Total Memory: ").AddDec(memory.total_physical_kb)
      .Add("(KB),  Avail Memory: ").AddDec(memory.available_physical_kb)
      .Add("(KB)\r\nTotal Virtual Memory: ").AddDec(memory.total_virtual_kb)
      .Add("(KB),  Avail Virtual Memory: ").AddDec(memory.available_virtual_kb).Add("(KB)\r\n");
  AddLines(t.c_str());

  const ModuleInfo* fault_module = maps.FindModule(crash.pc);
  uintptr_t base = fault_module ? fault_module->base : 0;
  t.Clear();
  t.Add("The following information can be found in file: ").Add(report_path).Add("\r\n");
  AddLines(t.c_str());
  t.Clear();
  t.Add("Error Code: ").AddHex(crash.exception_code, 8).Add(" (")
      .Add(ExceptionName(crash.exception_code)).Add(")\r\n");
  AddLines(t.c_str());
  t.Clear();
  t.Add("Module Name: ").Add(fault_module ? fault_module->path : program_path).Add("\r\n");
  AddLines(t.c_str());
  t.Clear();
  t.Add("Instruction Address: 0X").AddHex(crash.pc, 8).Add("\r\nBase Offset: 0X")
      .AddHex(crash.pc - base, 8).Add("\r\n");
  AddLines(t.c_str());
  AddLines("\r\n\r\n-----------------stack track-----------------\r\n");

  for (size_t i = 0; i < frame_count && !full_; ++i) {
    uintptr_t pc = frames[i];
    // A return address points past the call; look up the call itself.
    uintptr_t lookup = i == 0 ? pc : pc - 1;
    const ModuleInfo* m = maps.FindModule(lookup);
    if (!m) break;
    ElfSymbol sym = FindElfSymbol(m->path, m->base, lookup, g_symbol, sizeof g_symbol);
    if (!sym.found) break;
    DemangleSymbol(g_symbol, g_readable, sizeof g_readable);
    t.Clear();
    t.Add("0X").AddHex(m->base, 8).AddChar('[').AddHex(pc - m->base).Add("] ").Add(m->path)
        .Add(": ").Add(g_readable).Add("+0X").AddHex(pc - sym.start).Add("\r\n");
    if (t.overflowed()) break;
    AddLines(t.c_str());
  }
}

size_t CrashReport::ToUtf8(char* out, size_t capacity) const {
  size_t n = 0;
  auto put = [&](unsigned v) {
    if (n + 1 < capacity) out[n++] = static_cast<char>(v);
  };
  for (size_t i = 0; i < length_; ++i) {
    unsigned c = static_cast<unsigned>(text_[i]);
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18));
      put(0x80 | ((c >> 12) & 0x3F));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    }
  }
  if (capacity > 0) out[n] = '\0';
  return n;
}

}  // namespace faultwick
