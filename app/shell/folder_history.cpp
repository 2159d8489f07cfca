#include "app/shell/folder_history.h"

#include <algorithm>

#include "core/key_value_store.h"
#include "platform/file_system.h"

namespace {
const char kSection[] = "SavePathHistory";
std::string KeyOf(int i) { return "dir" + std::to_string(i); }
}  // namespace

void FolderHistory::Load(const KeyValueStore& store) {
  folders_.clear();
  for (int i = 0; i < kStored; ++i) {
    std::string dir;
    if (!store.ReadText(kSection, KeyOf(i), &dir) || dir.empty()) continue;
    if (dir.back() != platform::kPathSeparator) dir += platform::kPathSeparator;
    folders_.push_back(dir);
  }
}

bool FolderHistory::Save(KeyValueStore& store) const {
  bool ok = true;
  for (int i = 0; i < kStored; ++i) {
    const std::string value = i < static_cast<int>(folders_.size()) ? folders_[i] : std::string();
    ok = store.WriteText(kSection, KeyOf(i), value) && ok;
  }
  return store.Flush() && ok;
}

void FolderHistory::Add(const std::string& folder) {
  folders_.erase(std::remove(folders_.begin(), folders_.end(), folder), folders_.end());
  folders_.insert(folders_.begin(), folder);
}
