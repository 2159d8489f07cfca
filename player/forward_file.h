// The forward file "OpenFlvFile.txt": a second start writes its path or
// address there as UTF-16 code units (no byte-order mark, no terminator),
// then tells the running instance to read it.
#pragma once

#include <QString>
#include <optional>
#include <string>

inline constexpr int64_t kForwardFileMaxBytes = 6000;

// In the user's documents folder, created if missing; the program's own
// folder when there is no documents folder to be had.
std::string ForwardFilePath();

// Creates or truncates the file; false when it cannot be written.
bool WriteForwardFile(const std::string& path, const QString& text);

// The text, or nothing when the file is missing, unreadable or longer than
// 6000 bytes. The text ends at the first NUL code unit.
std::optional<QString> ReadForwardFile(const std::string& path);
