#include "ui/trace_file.h"

#include <QFile>

#include <cstdlib>

TraceFile::TraceFile(const char* variable) {
  const char* path = std::getenv(variable);
  if (!path || !*path) return;
  auto file = std::make_unique<QFile>(QString::fromLocal8Bit(path));
  if (file->open(QIODevice::WriteOnly | QIODevice::Append)) file_ = std::move(file);
}

TraceFile::~TraceFile() = default;

void TraceFile::Write(const QString& line) {
  if (!file_) return;
  file_->write((line + QLatin1Char('\n')).toUtf8());
  file_->flush();
}
