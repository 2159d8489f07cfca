#include "get_options.h"

#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"

namespace {

bool ParseCount(const char* text, int* value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (*end != '\0' || v < 0 || v > 1000000) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

const char* GetUsage() {
  return "usage: tamborel-get [-v] [-o FOLDER] [--retries N] [--retry-delay SECONDS] URL";
}

bool ParseGetOptions(int argc, char** argv, GetOptions* options, std::string* error) {
  bool haveUrl = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        *error = std::string(name) + " needs a value";
        return nullptr;
      }
      return argv[++i];
    };
    if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
      options->help = true;
      return true;
    }
    if (std::strcmp(a, "-v") == 0 || std::strcmp(a, "--verbose") == 0) {
      options->verbose = true;
      continue;
    }
    if (std::strcmp(a, "-o") == 0) {
      const char* v = value("-o");
      if (!v) return false;
      if (!*v) {
        *error = "-o needs a folder";
        return false;
      }
      options->folder = v;
    } else if (std::strcmp(a, "--retries") == 0) {
      const char* v = value("--retries");
      if (!v) return false;
      if (!ParseCount(v, &options->retries)) {
        *error = "--retries needs a count";
        return false;
      }
    } else if (std::strcmp(a, "--retry-delay") == 0) {
      const char* v = value("--retry-delay");
      if (!v) return false;
      if (!ParseCount(v, &options->retryDelay)) {
        *error = "--retry-delay needs seconds";
        return false;
      }
    } else if (a[0] == '-' && a[1] != '\0') {
      *error = std::string("unknown option ") + a;
      return false;
    } else if (haveUrl) {
      *error = "only one URL";
      return false;
    } else {
      options->url = a;
      haveUrl = true;
    }
  }
  if (!haveUrl || options->url.empty()) {
    *error = "no URL given";
    return false;
  }
  if (options->folder.back() != platform::kPathSeparator) options->folder += platform::kPathSeparator;
  return true;
}
