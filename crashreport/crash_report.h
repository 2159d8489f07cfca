// The crash report text: memory figures, the exception and where it
// happened, and the symbolised stack. One fixed buffer of 4000 wide
// characters, terminator included; the text keeps whole lines only, and
// ends at the first line that does not fit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crashreport/crash_context.h"
#include "crashreport/memory_status.h"
#include "crashreport/process_maps.h"

namespace faultwick {

class CrashReport {
 public:
  static constexpr size_t kCapacity = 4000;
  static constexpr size_t kMaxFrames = 128;

  void Clear();

  // Appends UTF-8 text line by line (each ending in "\r\n"); false once a
  // line did not fit, after which nothing more is taken.
  bool AddLines(const char* utf8);

  // Builds the whole report for a crash. `frames` holds the faulting
  // address and then return addresses; `program_path` names the module
  // when no module holds the faulting address.
  void Build(const MemoryStatus& memory, const CrashContext& crash, const ProcessMaps& maps,
             const uintptr_t* frames, size_t frame_count, const char* report_path,
             const char* program_path);

  const wchar_t* text() const { return text_; }
  size_t length() const { return length_; }
  bool full() const { return full_; }

  // The text in UTF-8, terminated; returns the byte count (without the
  // terminator). `capacity` of 4 * kCapacity always suffices.
  size_t ToUtf8(char* out, size_t capacity) const;

 private:
  bool AddLine(const char* utf8, size_t n);

  wchar_t text_[kCapacity] = {};
  size_t length_ = 0;
  bool full_ = false;
};

}  // namespace faultwick
