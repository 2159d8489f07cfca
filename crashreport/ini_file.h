// A small ini-file writer and reader: "[Section]" headers and "Key=Value"
// lines, names compared without regard to case. The writer works in fixed
// buffers so that the crash handler can use it.
#pragma once

#include <cstddef>

namespace faultwick {

// The largest ini file the writer rewrites; a larger one is left alone.
inline constexpr size_t kMaxIniFile = 64 * 1024;

// Sets `key` in `section` to `value`: creates the file, the section or the
// key when missing, replaces the key's value otherwise, and keeps every
// other line as it was. The file is replaced in one step. False when it
// could not be read or written.
bool WriteIniString(const char* path, const char* section, const char* key, const char* value);

// Reads the value of `key` in `section` into `out`; false when absent.
bool ReadIniString(const char* path, const char* section, const char* key, char* out,
                   size_t capacity);

}  // namespace faultwick
