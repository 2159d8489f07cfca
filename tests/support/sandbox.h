// A fresh folder per test, removed afterwards.
#pragma once

#include <string>

namespace testsupport {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The folder, ending in '/'.
  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + name; }

  void WriteFile(const std::string& name, const std::string& content) const;
  std::string ReadFile(const std::string& name) const;

 private:
  std::string dir_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace testsupport
