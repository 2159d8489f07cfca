#include "player/trace_log.h"

#include "ui/trace_file.h"

void TraceLine(const QString& line) {
  static TraceFile file("PELLUMO_TRACE");
  file.Write(line);
}
