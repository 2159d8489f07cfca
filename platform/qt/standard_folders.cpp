#include "platform/qt/standard_folders.h"

#include <QStandardPaths>

#include "platform/file_system.h"

namespace platform {

std::string DocumentsFolder() {
  std::string dir =
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
  if (!dir.empty() && dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir;
}

}  // namespace platform
