// Byte counts of files and transfers are 64-bit throughout.
#pragma once

#include <cstdint>

// The largest byte count taken from a server, a stream's metadata or a file
// (8 PiB): far beyond any real file, it leaves room to add a count to
// another without overflow and stays exact when turned into a double.
inline constexpr int64_t kMaxByteCount = int64_t{1} << 53;
