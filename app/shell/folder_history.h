// The save-folder history of the new-download dialog: most recent first, at
// most nine folders, kept in the settings store under "SavePathHistory".
#pragma once

#include <string>
#include <vector>

class KeyValueStore;

class FolderHistory {
 public:
  static constexpr int kStored = 9;

  // Keys dir0..dir8 in order; empty values skipped; a separator appended
  // where one is missing.
  void Load(const KeyValueStore& store);
  // The first nine to dir0..dir8, an empty text to the keys beyond the list.
  bool Save(KeyValueStore& store) const;
  // Moves (or puts) the folder to the front; equal texts only.
  void Add(const std::string& folder);

  const std::vector<std::string>& Folders() const { return folders_; }

 private:
  std::vector<std::string> folders_;
};
