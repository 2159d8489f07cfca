// The checks and texts around opening something in the player.
#pragma once

#include <QString>
#include <cstdint>

// An address starts with "HTTP" in any case; everything else is a file path.
bool IsAddress(const QString& text);

// The "Open URL" dialog's check on the trimmed text: it must start with
// "HTTP://" or "RMTP://" in any case.
bool IsAcceptedUrlInput(const QString& trimmed);

// The one character the movie cannot take in a file name.
inline constexpr QChar kForbiddenNameChar = u'%';
bool HasForbiddenNameChar(const QString& path);

enum class MovieFileCheck { Ok, NotFound, NotValid };
// A movie file starts with "FLV" or has "ftyp" at offset 4, and holds at
// least 9 bytes.
MovieFileCheck CheckMovieFile(const QString& path);

// The document title for an address: the part after its last slash or
// backslash when it ends in ".flv" in any case, else "pellumo.flv".
struct AddressTitle {
  QString title;
  bool keepsCaption = false;  // true: the frame caption stays "Pellumo"
};
AddressTitle TitleForAddress(const QString& address);

// Seconds as the movie reports them ("12.3456") to whole milliseconds, in
// single precision and truncated; 0 for text that is no number, and held
// within the 32-bit range.
int32_t MovieSecondsToMs(const QString& text);

// "%02d:%02d:%02d"
QString FormatPlayTime(int32_t ms);
// The control bar's time text.
QString PlayTimeText(bool movieOpen, int32_t positionMs, int32_t durationMs);
