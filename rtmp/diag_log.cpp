#include "rtmp/diag_log.h"

#include <cstdarg>
#include <cstring>

int DiagLevel = DIAG_ERROR;
FILE* DiagSink = stderr;

namespace {

constexpr size_t kDiagBufferSize = 2048;  // text is cut at 2047 characters

const char* LevelName(int level) {
  switch (level) {
    case DIAG_CRIT: return "CRIT";
    case DIAG_ERROR: return "ERROR";
    case DIAG_WARNING: return "WARNING";
    case DIAG_DEBUG: return "DEBUG";
    default: return "INFO";
  }
}

}  // namespace

void DiagLog(int level, const char* format, ...) {
  char text[kDiagBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);

  // The AMF dump names unnamed properties "no-name."; keep those lines out
  // unless everything is wanted.
  if (DiagLevel < 5 && std::strstr(text, "no-name") != nullptr) return;
  if (level > DiagLevel) return;
  // One formatted write per line: the stream's own lock keeps lines of
  // several workers from mixing.
  std::fprintf(DiagSink, "\r%s: %s\n", LevelName(level), text);
}

void DiagPrint(const char* format, ...) {
  char text[kDiagBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (DiagLevel != 0) std::fprintf(DiagSink, "%s", text);
}
