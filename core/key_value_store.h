// Per-user preferences storage: sections holding named 32-bit numbers and
// texts. The program keeps them in QSettings; tests keep them in memory.
#pragma once

#include <cstdint>
#include <string>

class KeyValueStore {
 public:
  virtual ~KeyValueStore() = default;

  // False when the value is missing or not of that kind; *out is then untouched.
  virtual bool ReadNumber(const std::string& section, const std::string& name,
                          uint32_t* out) const = 0;
  virtual bool ReadText(const std::string& section, const std::string& name,
                        std::string* out) const = 0;

  virtual bool WriteNumber(const std::string& section, const std::string& name,
                           uint32_t value) = 0;
  virtual bool WriteText(const std::string& section, const std::string& name,
                         const std::string& value) = 0;
  // True when the value is gone afterwards (also when it was never there).
  virtual bool DeleteValue(const std::string& section, const std::string& name) = 0;

  // Makes the writes so far durable; false when that failed.
  virtual bool Flush() = 0;
};
