#include "player/trace_log.h"

#include <QFile>
#include <cstdlib>
#include <memory>

void TraceLine(const QString& line) {
  static std::unique_ptr<QFile> file = []() -> std::unique_ptr<QFile> {
    const char* path = std::getenv("PELLUMO_TRACE");
    if (!path || !*path) return nullptr;
    auto f = std::make_unique<QFile>(QString::fromLocal8Bit(path));
    if (!f->open(QIODevice::WriteOnly | QIODevice::Append)) return nullptr;
    return f;
  }();
  if (!file) return;
  file->write((line + QLatin1Char('\n')).toUtf8());
  file->flush();
}
