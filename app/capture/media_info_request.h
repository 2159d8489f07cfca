// The 276-byte request of the media-information library's `Ombrel` call:
// the file's full path in, width, height and two duration readings out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace capture {

struct MediaInfoRequestLayout {
  static constexpr size_t kSize = 276;
  static constexpr size_t kPath = 0, kPathSize = 260;
  static constexpr size_t kWidth = 260, kHeight = 264;
  static constexpr size_t kDuration1 = 268, kDuration2 = 272;  // milliseconds
};

// uint8_t Ombrel(uint8_t* request): non-zero for success; C calling convention.
using MediaInfoCall = uint8_t (*)(uint8_t* request);
inline constexpr char kMediaInfoLibraryName[] = "Ombrel.dll";
inline constexpr char kMediaInfoEntryName[] = "Ombrel";

}  // namespace capture
