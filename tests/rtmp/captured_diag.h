// Captures what the diagnostic log writes during a test, restoring the sink
// and the threshold afterwards.
#pragma once

#include <cstdio>
#include <string>

#include "rtmp/diag_log.h"

class CapturedDiag {
 public:
  explicit CapturedDiag(int level) : savedSink_(DiagSink), savedLevel_(DiagLevel) {
    file_ = std::tmpfile();
    DiagSink = file_;
    DiagLevel = level;
  }
  ~CapturedDiag() {
    DiagSink = savedSink_;
    DiagLevel = savedLevel_;
    std::fclose(file_);
  }
  CapturedDiag(const CapturedDiag&) = delete;
  CapturedDiag& operator=(const CapturedDiag&) = delete;

  std::string Text() {
    std::fflush(file_);
    std::string out;
    std::rewind(file_);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) out.append(buf, n);
    return out;
  }

  // Number of times `needle` occurs in what was written.
  int Count(const std::string& needle) {
    const std::string text = Text();
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
      ++count;
    return count;
  }

 private:
  FILE* file_;
  FILE* savedSink_;
  int savedLevel_;
};
