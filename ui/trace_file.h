// A line log that end-to-end tests read to see what a program did, written
// only when an environment variable names the file; users never need it.
#pragma once

#include <QString>

#include <memory>

class QFile;

class TraceFile {
 public:
  // Opens (appending) the file `variable` names; writes nothing without one.
  explicit TraceFile(const char* variable);
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // Appends the line and flushes, so a reader sees it at once.
  void Write(const QString& line);

 private:
  std::unique_ptr<QFile> file_;
};
