#include "core/memory_key_value_store.h"

bool MemoryKeyValueStore::ReadNumber(const std::string& section, const std::string& name,
                                     uint32_t* out) const {
  auto it = values_.find({section, name});
  if (it == values_.end() || !std::holds_alternative<uint32_t>(it->second)) return false;
  *out = std::get<uint32_t>(it->second);
  return true;
}

bool MemoryKeyValueStore::ReadText(const std::string& section, const std::string& name,
                                   std::string* out) const {
  auto it = values_.find({section, name});
  if (it == values_.end() || !std::holds_alternative<std::string>(it->second)) return false;
  *out = std::get<std::string>(it->second);
  return true;
}

bool MemoryKeyValueStore::WriteNumber(const std::string& section, const std::string& name,
                                      uint32_t value) {
  values_[{section, name}] = value;
  return true;
}

bool MemoryKeyValueStore::WriteText(const std::string& section, const std::string& name,
                                    const std::string& value) {
  values_[{section, name}] = value;
  return true;
}

bool MemoryKeyValueStore::DeleteValue(const std::string& section, const std::string& name) {
  values_.erase({section, name});
  return true;
}
