#include "player/recent_lists.h"

#include <algorithm>

namespace {

const char kUrlSection[] = "RecentUrl";
const char kFileSection[] = "Recent File List";

void MoveToFront(std::vector<std::string>& list, const std::string& entry) {
  list.erase(std::remove(list.begin(), list.end(), entry), list.end());
  list.insert(list.begin(), entry);
}

}  // namespace

void CRecentUrlList::Load(const KeyValueStore& store) {
  entries_.clear();
  for (int i = 0; i < kSavedCount; ++i) {
    std::string value;
    if (!store.ReadText(kUrlSection, "RecentUrl" + std::to_string(i), &value) || value.empty())
      break;
    entries_.push_back(value);
  }
}

void CRecentUrlList::Save(KeyValueStore& store) const {
  for (int i = 0; i < kSavedCount; ++i)
    store.WriteText(kUrlSection, "RecentUrl" + std::to_string(i), GetAt(i));
}

void CRecentUrlList::Add(const std::string& address) { MoveToFront(entries_, address); }

void CRecentUrlList::Remove(const std::string& address) {
  auto it = std::find(entries_.begin(), entries_.end(), address);
  if (it != entries_.end()) entries_.erase(it);
}

std::string CRecentUrlList::GetAt(int index) const {
  if (index < 0 || index >= Count()) return {};
  return entries_[index];
}

void RecentFileList::Load(const KeyValueStore& store) {
  entries_.clear();
  for (int i = 1; i <= kSize; ++i) {
    std::string value;
    if (store.ReadText(kFileSection, "File" + std::to_string(i), &value) && !value.empty() &&
        std::find(entries_.begin(), entries_.end(), value) == entries_.end())
      entries_.push_back(value);
  }
}

void RecentFileList::Save(KeyValueStore& store) const {
  for (int i = 1; i <= kSize; ++i) {
    std::string name = "File" + std::to_string(i);
    if (i <= static_cast<int>(entries_.size()))
      store.WriteText(kFileSection, name, entries_[i - 1]);
    else
      store.DeleteValue(kFileSection, name);
  }
}

void RecentFileList::Add(const std::string& path) {
  if (path.empty()) return;
  MoveToFront(entries_, path);
  if (entries_.size() > kSize) entries_.resize(kSize);
}

void RecentFileList::Remove(const std::string& path) {
  entries_.erase(std::remove(entries_.begin(), entries_.end(), path), entries_.end());
}
