// The player's two history lists, most recent first.
#pragma once

#include <string>
#include <vector>

#include "core/key_value_store.h"

// Addresses typed into "Open URL...": unbounded in memory, ten kept in the
// settings (section "RecentUrl", keys "RecentUrl0" to "RecentUrl9").
class CRecentUrlList {
 public:
  static constexpr int kSavedCount = 10;

  // Reads keys 0, 1, ... in order; stops at the first empty value.
  void Load(const KeyValueStore& store);
  // Writes all ten keys; the ones past the end get an empty text.
  void Save(KeyValueStore& store) const;

  // Moves an equal entry (case-sensitive) to the front, or inserts it there.
  void Add(const std::string& address);
  void Remove(const std::string& address);
  void Clear() { entries_.clear(); }
  // Empty text when out of range.
  std::string GetAt(int index) const;
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  std::vector<std::string> entries_;
};

// Files opened from disk: nine entries, section "Recent File List", keys
// "File1" to "File9".
class RecentFileList {
 public:
  static constexpr int kSize = 9;

  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;
  // Moves the path to the front; the oldest falls off past nine.
  void Add(const std::string& path);
  void Remove(const std::string& path);
  void Clear() { entries_.clear(); }
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};
