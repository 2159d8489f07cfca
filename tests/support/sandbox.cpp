#include "tests/support/sandbox.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

Sandbox::Sandbox() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tamborel-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl + "/";
}

Sandbox::~Sandbox() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void Sandbox::WriteFile(const std::string& name, const std::string& content) const {
  WriteWholeFile(path(name), content);
}

std::string Sandbox::ReadFile(const std::string& name) const { return ReadWholeFile(path(name)); }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace testsupport
