// Media-information library for tests: the examined file holds the answer,
// "width height duration1 duration2 result", and every path asked for is
// appended to the file named by FAKE_OMBREL_LOG.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) uint8_t Ombrel(uint8_t* request) {
  char path[261] = {};
  std::memcpy(path, request, 260);
  if (const char* log = std::getenv("FAKE_OMBREL_LOG")) {
    if (FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "%s\n", path);
      std::fclose(f);
    }
  }
  FILE* f = std::fopen(path, "r");
  if (!f) return 0;
  int32_t v[4] = {};
  int result = 0;
  const int n = std::fscanf(f, "%d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &result);
  std::fclose(f);
  if (n != 5) return 0;
  std::memcpy(request + 260, v, sizeof(v));
  return static_cast<uint8_t>(result);
}
