// File operations the engines need, standing in for the Windows file API.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The path separator of folder paths; every folder text ends in it.
inline constexpr char kPathSeparator = '/';

bool FileExists(const std::string& path);      // a file or folder is there
bool DeleteFile(const std::string& path);      // true when the file is gone afterwards
// Renames without replacing: fails when `to` exists, as the Windows move does.
bool RenameFile(const std::string& from, const std::string& to);
// Renames over an existing `to` in one step (for writing a file safely).
bool ReplaceFile(const std::string& from, const std::string& to);
// Size in bytes, or -1 when the file cannot be examined.
int64_t FileSize(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& path);

}  // namespace platform
