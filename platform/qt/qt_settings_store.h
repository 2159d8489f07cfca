// The program's preferences store: QSettings under the organisation
// "Quorlin" (on Linux ~/.config/Quorlin/<application>.conf), one group per
// section.
#pragma once

#include <QSettings>
#include <memory>
#include <string>

#include "core/key_value_store.h"

namespace platform {

class QtSettingsStore : public KeyValueStore {
 public:
  explicit QtSettingsStore(const std::string& application = "Tamborel");
  ~QtSettingsStore() override;

  bool ReadNumber(const std::string& section, const std::string& name,
                  uint32_t* out) const override;
  bool ReadText(const std::string& section, const std::string& name,
                std::string* out) const override;
  bool WriteNumber(const std::string& section, const std::string& name, uint32_t value) override;
  bool WriteText(const std::string& section, const std::string& name,
                 const std::string& value) override;
  bool DeleteValue(const std::string& section, const std::string& name) override;
  bool Flush() override;

  // The file the values live in.
  std::string FileName() const;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace platform
