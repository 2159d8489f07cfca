// The minidump ("MDMP") file layout, as the format's published
// description gives it: little-endian, 4-byte packing, offsets (RVAs)
// from the start of the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace faultwick::mdmp {

inline constexpr uint32_t kSignature = 0x504D444D;  // "MDMP"
inline constexpr uint32_t kVersion = 0xA793;

enum StreamType : uint32_t {
  kThreadListStream = 3,
  kModuleListStream = 4,
  kMemoryListStream = 5,
  kExceptionStream = 6,
  kSystemInfoStream = 7,
  kMiscInfoStream = 15,
};

inline constexpr uint16_t kProcessorArchitectureAmd64 = 9;
// Platform ids above 0x8000 name the Unix family; this one is Linux.
inline constexpr uint32_t kPlatformLinux = 0x8201;

inline constexpr uint32_t kContextAmd64 = 0x00100000;
inline constexpr uint32_t kContextControl = kContextAmd64 | 0x1;
inline constexpr uint32_t kContextInteger = kContextAmd64 | 0x2;
inline constexpr uint32_t kContextSegments = kContextAmd64 | 0x4;
inline constexpr uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;

inline constexpr uint32_t kMiscProcessId = 0x1;

#pragma pack(push, 4)

struct LocationDescriptor {
  uint32_t data_size;
  uint32_t rva;
};

struct MemoryDescriptor {
  uint64_t start_of_memory_range;
  LocationDescriptor memory;
};

struct Header {
  uint32_t signature;
  uint32_t version;
  uint32_t number_of_streams;
  uint32_t stream_directory_rva;
  uint32_t check_sum;
  uint32_t time_date_stamp;
  uint64_t flags;
};

struct Directory {
  uint32_t stream_type;
  LocationDescriptor location;
};

struct SystemInfo {
  uint16_t processor_architecture;
  uint16_t processor_level;
  uint16_t processor_revision;
  uint8_t number_of_processors;
  uint8_t product_type;
  uint32_t major_version;
  uint32_t minor_version;
  uint32_t build_number;
  uint32_t platform_id;
  uint32_t csd_version_rva;
  uint16_t suite_mask;
  uint16_t reserved2;
  uint32_t vendor_id[3];
  uint32_t version_information;
  uint32_t feature_information;
  uint32_t amd_extended_cpu_features;
};

struct ExceptionRecord {
  uint32_t exception_code;
  uint32_t exception_flags;
  uint64_t exception_record;
  uint64_t exception_address;
  uint32_t number_parameters;
  uint32_t unused_alignment;
  uint64_t exception_information[15];
};

struct ExceptionStream {
  uint32_t thread_id;
  uint32_t alignment;
  ExceptionRecord exception_record;
  LocationDescriptor thread_context;
};

struct Thread {
  uint32_t thread_id;
  uint32_t suspend_count;
  uint32_t priority_class;
  uint32_t priority;
  uint64_t teb;
  MemoryDescriptor stack;
  LocationDescriptor thread_context;
};

struct FixedFileInfo {
  uint32_t signature;
  uint32_t struc_version;
  uint32_t file_version_ms;
  uint32_t file_version_ls;
  uint32_t product_version_ms;
  uint32_t product_version_ls;
  uint32_t file_flags_mask;
  uint32_t file_flags;
  uint32_t file_os;
  uint32_t file_type;
  uint32_t file_subtype;
  uint32_t file_date_ms;
  uint32_t file_date_ls;
};

struct Module {
  uint64_t base_of_image;
  uint32_t size_of_image;
  uint32_t check_sum;
  uint32_t time_date_stamp;
  uint32_t module_name_rva;
  FixedFileInfo version_info;
  LocationDescriptor cv_record;
  LocationDescriptor misc_record;
  uint64_t reserved0;
  uint64_t reserved1;
};

struct MiscInfo {
  uint32_t size_of_info;
  uint32_t flags1;
  uint32_t process_id;
  uint32_t process_create_time;
  uint32_t process_user_time;
  uint32_t process_kernel_time;
};

struct M128 {
  uint64_t low;
  int64_t high;
};

// The x86-64 thread context. `flt_save` holds the FXSAVE image.
struct ContextAmd64 {
  uint64_t p1_home, p2_home, p3_home, p4_home, p5_home, p6_home;
  uint32_t context_flags;
  uint32_t mx_csr;
  uint16_t seg_cs, seg_ds, seg_es, seg_fs, seg_gs, seg_ss;
  uint32_t eflags;
  uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
  uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
  uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
  uint64_t rip;
  uint8_t flt_save[512];
  M128 vector_register[26];
  uint64_t vector_control;
  uint64_t debug_control;
  uint64_t last_branch_to_rip;
  uint64_t last_branch_from_rip;
  uint64_t last_exception_to_rip;
  uint64_t last_exception_from_rip;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(MemoryDescriptor) == 16);
static_assert(sizeof(MiscInfo) == 24);
static_assert(sizeof(ContextAmd64) == 1232);
static_assert(offsetof(ContextAmd64, rip) == 248);
static_assert(offsetof(ContextAmd64, flt_save) == 256);

}  // namespace faultwick::mdmp
