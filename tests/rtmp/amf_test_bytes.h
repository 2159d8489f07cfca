// Byte fixtures for the AMF tests.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

// Bytes given as numbers, strings appended as they stand.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// A heap copy of exactly the given bytes, so that the address sanitizer
// reports any read past the end.
class ExactBuffer {
 public:
  explicit ExactBuffer(const std::string& bytes)
      : size_(static_cast<int>(bytes.size())), data_(new char[bytes.size() ? bytes.size() : 1]) {
    std::memcpy(data_.get(), bytes.data(), bytes.size());
  }
  const char* data() const { return data_.get(); }
  int size() const { return size_; }

 private:
  int size_;
  std::unique_ptr<char[]> data_;
};
