#include "flash/media_address.h"

#include <QFileInfo>

namespace flash {

bool IsStreamAddress(const QString& text) {
  for (const char* scheme : {"http://", "https://", "rtmp://", "rtmpt://"})
    if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) return true;
  return false;
}

QString MediaAddress(const QString& pathOrAddress) {
  if (IsStreamAddress(pathOrAddress)) {
    const qsizetype colon = pathOrAddress.indexOf(QLatin1Char(':'));
    return pathOrAddress.left(colon).toLower() + pathOrAddress.mid(colon);
  }
  return QFileInfo(pathOrAddress).absoluteFilePath();
}

}  // namespace flash
