#include "crashreport/minidump_writer.h"

#include <cpuid.h>
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "crashreport/minidump_format.h"

namespace faultwick {

namespace {

mdmp::SystemInfo g_system_info;
char g_kernel_text[sizeof(utsname{}.release) + sizeof(utsname{}.version) + 8];
uint16_t g_utf16[4096 + 1];

constexpr uintptr_t kRedZone = 128;
constexpr uintptr_t kCodeAround = 128;

// Places the parts of the file one after another and writes them at their
// offsets; remembers whether anything failed.
class DumpOut {
 public:
  explicit DumpOut(int fd) : fd_(fd) {}

  uint32_t Reserve(size_t n) {
    pos_ = (pos_ + 7) & ~uint32_t{7};
    uint32_t at = pos_;
    pos_ += static_cast<uint32_t>(n);
    return at;
  }

  void Put(uint32_t at, const void* data, size_t n) {
    if (!PutRaw(at, data, n)) ok_ = false;
  }

  // Copies live memory; a page that cannot be read is written as zeros so
  // the offsets after it still hold.
  void PutMemory(uint32_t at, uintptr_t address, size_t n) {
    static const char kZeros[4096] = {};
    while (n > 0) {
      size_t piece = 4096 - (address & 4095);
      if (piece > n) piece = n;
      if (!PutRaw(at, reinterpret_cast<const void*>(address), piece) &&
          !PutRaw(at, kZeros, piece))
        ok_ = false;
      at += static_cast<uint32_t>(piece);
      address += piece;
      n -= piece;
    }
  }

  // A MINIDUMP_STRING: byte length, UTF-16 text, terminator.
  uint32_t PutString(const char* utf8) {
    size_t n = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p && n + 2 < sizeof g_utf16 / sizeof g_utf16[0]) {
      uint32_t cp = *p++;
      int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
      if (extra) cp &= 0x3Fu >> extra;
      for (; extra > 0 && (*p & 0xC0) == 0x80; --extra) cp = (cp << 6) | (*p++ & 0x3F);
      if (cp >= 0x10000) {
        cp -= 0x10000;
        g_utf16[n++] = static_cast<uint16_t>(0xD800 + (cp >> 10));
        g_utf16[n++] = static_cast<uint16_t>(0xDC00 + (cp & 0x3FF));
      } else {
        g_utf16[n++] = static_cast<uint16_t>(cp);
      }
    }
    g_utf16[n] = 0;
    uint32_t bytes = static_cast<uint32_t>(n * 2);
    uint32_t at = Reserve(4 + bytes + 2);
    Put(at, &bytes, 4);
    Put(at + 4, g_utf16, bytes + 2);
    return at;
  }

  bool ok() const { return ok_; }

 private:
  bool PutRaw(uint32_t at, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    off_t off = at;
    while (n > 0) {
      ssize_t r = ::pwrite(fd_, p, n, off);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      off += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }

  int fd_;
  uint32_t pos_ = 0;
  bool ok_ = true;
};

void FillContext(const CrashContext& crash, mdmp::ContextAmd64* c) {
  std::memset(c, 0, sizeof *c);
  c->context_flags = mdmp::kContextControl | mdmp::kContextInteger | mdmp::kContextSegments |
                     mdmp::kContextFloatingPoint;
  if (!crash.uc) return;
  const greg_t* g = crash.uc->uc_mcontext.gregs;
  auto u = [](greg_t v) { return static_cast<uint64_t>(v); };
  c->rax = u(g[REG_RAX]);
  c->rcx = u(g[REG_RCX]);
  c->rdx = u(g[REG_RDX]);
  c->rbx = u(g[REG_RBX]);
  c->rsp = u(g[REG_RSP]);
  c->rbp = u(g[REG_RBP]);
  c->rsi = u(g[REG_RSI]);
  c->rdi = u(g[REG_RDI]);
  c->r8 = u(g[REG_R8]);
  c->r9 = u(g[REG_R9]);
  c->r10 = u(g[REG_R10]);
  c->r11 = u(g[REG_R11]);
  c->r12 = u(g[REG_R12]);
  c->r13 = u(g[REG_R13]);
  c->r14 = u(g[REG_R14]);
  c->r15 = u(g[REG_R15]);
  c->rip = u(g[REG_RIP]);
  c->eflags = static_cast<uint32_t>(g[REG_EFL]);
  uint64_t segs = u(g[REG_CSGSFS]);  // cs, gs, fs, ss in 16-bit parts
  c->seg_cs = static_cast<uint16_t>(segs);
  c->seg_gs = static_cast<uint16_t>(segs >> 16);
  c->seg_fs = static_cast<uint16_t>(segs >> 32);
  c->seg_ss = static_cast<uint16_t>(segs >> 48);
  if (crash.uc->uc_mcontext.fpregs) {
    static_assert(sizeof(*crash.uc->uc_mcontext.fpregs) == sizeof c->flt_save);
    std::memcpy(c->flt_save, crash.uc->uc_mcontext.fpregs, sizeof c->flt_save);
    c->mx_csr = crash.uc->uc_mcontext.fpregs->mxcsr;
  }
}

}  // namespace

void PrepareMinidumpSystemInfo() {
  mdmp::SystemInfo& s = g_system_info;
  std::memset(&s, 0, sizeof s);
  s.processor_architecture = mdmp::kProcessorArchitectureAmd64;
  s.platform_id = mdmp::kPlatformLinux;
  long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
  s.number_of_processors = static_cast<uint8_t>(cpus > 255 ? 255 : cpus < 1 ? 1 : cpus);
  unsigned a, b, c, d;
  if (__get_cpuid(0, &a, &b, &c, &d)) {
    s.vendor_id[0] = b;
    s.vendor_id[1] = d;
    s.vendor_id[2] = c;
  }
  if (__get_cpuid(1, &a, &b, &c, &d)) {
    unsigned family = (a >> 8) & 0xF;
    unsigned model = (a >> 4) & 0xF;
    if (family == 0xF) family += (a >> 20) & 0xFF;
    if (family >= 6) model |= ((a >> 16) & 0xF) << 4;
    s.processor_level = static_cast<uint16_t>(family);
    s.processor_revision = static_cast<uint16_t>((model << 8) | (a & 0xF));
    s.version_information = a;
    s.feature_information = d;
  }
  if (__get_cpuid(0x80000001, &a, &b, &c, &d)) s.amd_extended_cpu_features = d;

  utsname u{};
  g_kernel_text[0] = '\0';
  if (::uname(&u) == 0) {
    unsigned parts[3] = {0, 0, 0};
    const char* p = u.release;
    for (int i = 0; i < 3 && *p; ++i) {
      while (*p >= '0' && *p <= '9') parts[i] = parts[i] * 10 + static_cast<unsigned>(*p++ - '0');
      if (*p == '.') ++p;
      else break;
    }
    s.major_version = parts[0];
    s.minor_version = parts[1];
    s.build_number = parts[2];
    size_t n = 0;
    const char* pieces[] = {u.release, " ", u.version};
    for (const char* t : pieces)
      for (; *t && n + 1 < sizeof g_kernel_text; ++t) g_kernel_text[n++] = *t;
    g_kernel_text[n] = '\0';
  }
}

StackBounds FindStack(const ProcessMaps& maps, uintptr_t sp) {
  if (const MapRegion* r = maps.FindRegion(sp)) return {r->start, r->end};
  const MapRegion* above = nullptr;
  for (size_t i = 0; i < maps.region_count(); ++i) {
    const MapRegion& r = maps.region(i);
    if (r.start > sp && r.start - sp <= 1024 * 1024 && (!above || r.start < above->start))
      above = &r;
  }
  if (above) return {above->start, above->end};
  return {0, 0};
}

bool WriteMinidump(int fd, const CrashContext& crash, const ProcessMaps& maps) {
  constexpr uint32_t kStreams = 6;
  DumpOut out(fd);
  uint32_t header_at = out.Reserve(sizeof(mdmp::Header));
  uint32_t dir_at = out.Reserve(sizeof(mdmp::Directory) * kStreams);
  mdmp::Directory dir[kStreams] = {};
  uint32_t n = 0;

  // System information.
  mdmp::SystemInfo sys = g_system_info;
  uint32_t sys_at = out.Reserve(sizeof sys);
  sys.csd_version_rva = out.PutString(g_kernel_text);
  out.Put(sys_at, &sys, sizeof sys);
  dir[n++] = {mdmp::kSystemInfoStream, {sizeof sys, sys_at}};

  // Process id.
  mdmp::MiscInfo misc{sizeof(mdmp::MiscInfo), mdmp::kMiscProcessId,
                      static_cast<uint32_t>(crash.pid), 0, 0, 0};
  uint32_t misc_at = out.Reserve(sizeof misc);
  out.Put(misc_at, &misc, sizeof misc);
  dir[n++] = {mdmp::kMiscInfoStream, {sizeof misc, misc_at}};

  // The registers at the fault, shared by the exception and the thread.
  static mdmp::ContextAmd64 context;
  FillContext(crash, &context);
  uint32_t context_at = out.Reserve(sizeof context);
  out.Put(context_at, &context, sizeof context);
  mdmp::LocationDescriptor context_loc{sizeof context, context_at};

  // The exception. Readers of dumps from this platform expect the signal
  // number as the code and si_code as the flags; the report text carries
  // the exception code.
  mdmp::ExceptionStream ex{};
  ex.thread_id = static_cast<uint32_t>(crash.tid);
  ex.exception_record.exception_code = static_cast<uint32_t>(crash.signo);
  ex.exception_record.exception_flags = static_cast<uint32_t>(crash.si_code);
  ex.exception_record.exception_address = crash.pc;
  if (crash.signo == SIGSEGV || crash.signo == SIGBUS) {
    ex.exception_record.number_parameters = 2;
    bool write = crash.uc && (crash.uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
    ex.exception_record.exception_information[0] = write ? 1 : 0;
    ex.exception_record.exception_information[1] = crash.fault_address;
  }
  ex.thread_context = context_loc;
  uint32_t ex_at = out.Reserve(sizeof ex);
  out.Put(ex_at, &ex, sizeof ex);
  dir[n++] = {mdmp::kExceptionStream, {sizeof ex, ex_at}};

  // Memory: the stack from just below the stack pointer up, and the code
  // around the faulting instruction.
  mdmp::MemoryDescriptor ranges[2] = {};
  uint32_t range_count = 0;
  StackBounds stack = FindStack(maps, crash.sp);
  if (stack.high > stack.low) {
    uintptr_t lo = crash.sp >= stack.low + kRedZone ? crash.sp - kRedZone : stack.low;
    uintptr_t hi = stack.high - lo > kMaxStackCapture ? lo + kMaxStackCapture : stack.high;
    uint32_t at = out.Reserve(hi - lo);
    out.PutMemory(at, lo, hi - lo);
    ranges[range_count++] = {lo, {static_cast<uint32_t>(hi - lo), at}};
  }
  const MapRegion* code = maps.FindRegion(crash.pc);
  if (code && code->readable) {
    uintptr_t lo = crash.pc - code->start > kCodeAround ? crash.pc - kCodeAround : code->start;
    uintptr_t hi = code->end - crash.pc > kCodeAround ? crash.pc + kCodeAround : code->end;
    bool overlaps = range_count > 0 && lo < ranges[0].start_of_memory_range + ranges[0].memory.data_size &&
                    hi > ranges[0].start_of_memory_range;
    if (!overlaps) {
      uint32_t at = out.Reserve(hi - lo);
      out.PutMemory(at, lo, hi - lo);
      ranges[range_count++] = {lo, {static_cast<uint32_t>(hi - lo), at}};
    }
  }

  // The crashed thread. Other threads run on; their registers are not
  // reachable from here.
  mdmp::Thread thread{};
  thread.thread_id = static_cast<uint32_t>(crash.tid);
  thread.teb = reinterpret_cast<uint64_t>(__builtin_thread_pointer());
  if (stack.high > stack.low) thread.stack = ranges[0];
  thread.thread_context = context_loc;
  uint32_t one = 1;
  uint32_t threads_at = out.Reserve(4 + sizeof thread);
  out.Put(threads_at, &one, 4);
  out.Put(threads_at + 4, &thread, sizeof thread);
  dir[n++] = {mdmp::kThreadListStream, {4 + sizeof thread, threads_at}};

  // Modules.
  uint32_t module_count = static_cast<uint32_t>(maps.module_count());
  uint32_t modules_at = out.Reserve(4 + module_count * sizeof(mdmp::Module));
  out.Put(modules_at, &module_count, 4);
  for (uint32_t i = 0; i < module_count; ++i) {
    const ModuleInfo& m = maps.module(i);
    mdmp::Module md{};
    md.base_of_image = m.base;
    md.size_of_image = static_cast<uint32_t>(m.end - m.base);
    md.version_info.signature = 0xFEEF04BD;
    md.version_info.struc_version = 0x00010000;
    md.module_name_rva = out.PutString(m.path);
    out.Put(modules_at + 4 + i * sizeof md, &md, sizeof md);
  }
  dir[n++] = {mdmp::kModuleListStream, {static_cast<uint32_t>(4 + module_count * sizeof(mdmp::Module)), modules_at}};

  uint32_t memory_at = out.Reserve(4 + range_count * sizeof(mdmp::MemoryDescriptor));
  out.Put(memory_at, &range_count, 4);
  out.Put(memory_at + 4, ranges, range_count * sizeof(mdmp::MemoryDescriptor));
  dir[n++] = {mdmp::kMemoryListStream,
              {static_cast<uint32_t>(4 + range_count * sizeof(mdmp::MemoryDescriptor)), memory_at}};

  mdmp::Header header{mdmp::kSignature, mdmp::kVersion, n, dir_at, 0,
                      static_cast<uint32_t>(std::time(nullptr)), 0};
  out.Put(dir_at, dir, n * sizeof(mdmp::Directory));
  out.Put(header_at, &header, sizeof header);
  return out.ok();
}

bool WriteMinidumpFile(const char* path, const CrashContext& crash, const ProcessMaps& maps) {
  int fd;
  do fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  bool ok = WriteMinidump(fd, crash, maps);
  return ::close(fd) == 0 && ok;
}

}  // namespace faultwick
