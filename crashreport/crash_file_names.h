// Where the files of one crash go: the base path, the time stamp and the
// dump and report names made from them, and the ini file beside the program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace faultwick {

inline constexpr size_t kMaxPath = 4096 + 64;

struct CivilTime {
  int year, month, day, hour, minute, second;
};

// Calendar fields of a time in seconds since 1970, in UTC (no time zone
// data, no locks: safe in a signal handler).
CivilTime UtcFromEpoch(int64_t seconds);

// The program path cut at its first "." (a path without one is used whole).
void ProgramPathBase(const char* program_path, char* out, size_t capacity);

// The folder part of a path, without the last separator.
void FolderOf(const char* path, char* out, size_t capacity);

// The user's documents folder as the desktop names it: XDG_DOCUMENTS_DIR
// from user-dirs.dirs, else $HOME/Documents; without a trailing separator.
// False when HOME is unknown. Reads the environment and a file: call it
// before any crash.
bool LookUpDocumentsFolder(char* out, size_t capacity);

// Creates the folder when it is missing; true when it is there afterwards.
bool EnsureFolder(const char* path);

struct CrashPaths {
  char dump[kMaxPath];
  char report[kMaxPath];
};

// BASE_STAMP.dmp and BASE_STAMP_main.txt.
void MakeCrashPaths(const char* base, const CivilTime& t, CrashPaths* out);

// BASE_%Y%m%d_%H%M%S.dmp, the name the player's reduced copy uses.
void MakePlayerDumpPath(const char* base, const CivilTime& t, char* out, size_t capacity);

}  // namespace faultwick
