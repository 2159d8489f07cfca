#include "resume_name.h"

#include <cstdint>

std::string TempFileFor(const std::string& url, const std::string& fileName) {
  // 64-bit FNV-1a: stable across runs and builds, unlike std::hash.
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : url) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return "{" + std::to_string(h) + "_" + fileName + "}.TMP!";
}
