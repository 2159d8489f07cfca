#include "player/open_rules.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

bool IsAddress(const QString& text) {
  return text.left(4).compare(QLatin1String("HTTP"), Qt::CaseInsensitive) == 0;
}

bool IsAcceptedUrlInput(const QString& trimmed) {
  QString head = trimmed.left(7);
  return head.compare(QLatin1String("HTTP://"), Qt::CaseInsensitive) == 0 ||
         head.compare(QLatin1String("RMTP://"), Qt::CaseInsensitive) == 0;
}

bool HasForbiddenNameChar(const QString& path) { return path.contains(kForbiddenNameChar); }

MovieFileCheck CheckMovieFile(const QString& path) {
  QFileInfo info(path);
  if (!info.exists() || info.isDir()) return MovieFileCheck::NotFound;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return MovieFileCheck::NotValid;
  QByteArray head = file.read(9);
  if (head.size() < 9) return MovieFileCheck::NotValid;
  if (head.startsWith("FLV") || head.mid(4, 4) == "ftyp") return MovieFileCheck::Ok;
  return MovieFileCheck::NotValid;
}

AddressTitle TitleForAddress(const QString& address) {
  if (address.right(4).compare(QLatin1String(".FLV"), Qt::CaseInsensitive) != 0)
    return {QStringLiteral("pellumo.flv"), true};
  qsizetype cut = std::max(address.lastIndexOf(u'/'), address.lastIndexOf(u'\\'));
  return {cut < 0 ? address : address.mid(cut + 1), false};
}

int32_t MovieSecondsToMs(const QString& text) {
  bool ok = false;
  float seconds = text.trimmed().toFloat(&ok);
  if (!ok || !std::isfinite(seconds)) return 0;
  float ms = seconds * 1000.0f;
  // The movie is another party: a huge or negative time must not overflow.
  if (ms >= 2147483647.0f) return INT32_MAX;
  if (ms <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(ms);
}

QString FormatPlayTime(int32_t ms) {
  if (ms < 0) ms = 0;
  int hours = ms / 3600000;
  int minutes = (ms % 3600000) / 60000;
  int seconds = (ms % 3600000 - minutes * 60000) / 1000;
  return QString::asprintf("%02d:%02d:%02d", hours, minutes, seconds);
}

QString PlayTimeText(bool movieOpen, int32_t positionMs, int32_t durationMs) {
  if (!movieOpen) return QStringLiteral("No video");
  if (durationMs == 0) return FormatPlayTime(positionMs);
  return FormatPlayTime(positionMs) + QStringLiteral(" / ") + FormatPlayTime(durationMs);
}
