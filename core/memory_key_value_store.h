// A KeyValueStore held in memory: for tests and for runs that must leave the
// user's preferences alone.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>

#include "core/key_value_store.h"

class MemoryKeyValueStore : public KeyValueStore {
 public:
  using Value = std::variant<uint32_t, std::string>;
  using Key = std::pair<std::string, std::string>;  // section, name

  bool ReadNumber(const std::string& section, const std::string& name,
                  uint32_t* out) const override;
  bool ReadText(const std::string& section, const std::string& name,
                std::string* out) const override;
  bool WriteNumber(const std::string& section, const std::string& name, uint32_t value) override;
  bool WriteText(const std::string& section, const std::string& name,
                 const std::string& value) override;
  bool DeleteValue(const std::string& section, const std::string& name) override;
  bool Flush() override { return true; }

  const std::map<Key, Value>& values() const { return values_; }

 private:
  std::map<Key, Value> values_;
};
