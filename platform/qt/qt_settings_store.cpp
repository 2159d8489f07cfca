#include "platform/qt/qt_settings_store.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>

namespace platform {

namespace {

QString KeyOf(const std::string& section, const std::string& name) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(name);
}

}  // namespace

QtSettingsStore::QtSettingsStore(const std::string& application)
    : settings_(std::make_unique<QSettings>(QStringLiteral("Quorlin"),
                                            QString::fromStdString(application))) {}

QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::ReadNumber(const std::string& section, const std::string& name,
                                 uint32_t* out) const {
  QVariant v = settings_->value(KeyOf(section, name));
  if (!v.isValid()) return false;
  // The file holds text; a hand-edited value may be negative or out of range.
  bool ok = false;
  qlonglong n = v.toString().trimmed().toLongLong(&ok, 10);
  if (!ok || n < INT32_MIN || n > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(n);
  return true;
}

bool QtSettingsStore::ReadText(const std::string& section, const std::string& name,
                               std::string* out) const {
  QVariant v = settings_->value(KeyOf(section, name));
  if (!v.isValid()) return false;
  // An unquoted value with commas comes back as a list.
  if (v.typeId() == QMetaType::QStringList) {
    *out = v.toStringList().join(QLatin1Char(',')).toStdString();
    return true;
  }
  if (!v.canConvert<QString>()) return false;
  *out = v.toString().toStdString();
  return true;
}

bool QtSettingsStore::WriteNumber(const std::string& section, const std::string& name,
                                  uint32_t value) {
  settings_->setValue(KeyOf(section, name), QVariant::fromValue(value));
  return settings_->status() == QSettings::NoError;
}

bool QtSettingsStore::WriteText(const std::string& section, const std::string& name,
                                const std::string& value) {
  settings_->setValue(KeyOf(section, name), QString::fromStdString(value));
  return settings_->status() == QSettings::NoError;
}

bool QtSettingsStore::DeleteValue(const std::string& section, const std::string& name) {
  settings_->remove(KeyOf(section, name));
  return settings_->status() == QSettings::NoError;
}

bool QtSettingsStore::Flush() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

std::string QtSettingsStore::FileName() const { return settings_->fileName().toStdString(); }

}  // namespace platform
