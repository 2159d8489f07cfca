#include "player/forward_file.h"

#include <QFile>
#include <vector>

#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "platform/qt/standard_folders.h"

std::string ForwardFilePath() {
  std::string dir = platform::DocumentsFolder();
  if (dir.empty() || !platform::CreateFolders(dir)) dir = platform::ExecutableDir();
  if (!dir.empty() && dir.back() != platform::kPathSeparator) dir += platform::kPathSeparator;
  return dir + "OpenFlvFile.txt";
}

bool WriteForwardFile(const std::string& path, const QString& text) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  std::vector<char> bytes;
  bytes.reserve(static_cast<size_t>(text.size()) * 2);
  for (QChar c : text) {
    bytes.push_back(static_cast<char>(c.unicode() & 0xFF));
    bytes.push_back(static_cast<char>(c.unicode() >> 8));
  }
  bool ok = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
            static_cast<qint64>(bytes.size());
  return file.flush() && ok;
}

std::optional<QString> ReadForwardFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  // Read one byte past the limit rather than trusting the reported size.
  QByteArray bytes = file.read(kForwardFileMaxBytes + 1);
  if (bytes.size() > kForwardFileMaxBytes) return std::nullopt;
  QString text;
  for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                          static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    text.append(QChar(unit));
  }
  return text;
}
