#include "storage/settings_store.h"

namespace talvo {

QSettingsStore::QSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Talvo"), QStringLiteral("Talvo"))) {}

QSettingsStore::QSettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QVariant QSettingsStore::get(const QString& key) const {
  std::lock_guard guard(lock_);
  return settings_->value(key);
}

void QSettingsStore::set(const QString& key, const QVariant& value) {
  std::lock_guard guard(lock_);
  settings_->setValue(key, value);
}

void QSettingsStore::remove(const QString& key) {
  std::lock_guard guard(lock_);
  settings_->remove(key);
}

void QSettingsStore::sync() {
  std::lock_guard guard(lock_);
  settings_->sync();
}

QVariant MemorySettingsStore::get(const QString& key) const {
  std::lock_guard guard(lock_);
  return values_.value(key);
}

void MemorySettingsStore::set(const QString& key, const QVariant& value) {
  std::lock_guard guard(lock_);
  values_.insert(key, value);
}

void MemorySettingsStore::remove(const QString& key) {
  std::lock_guard guard(lock_);
  values_.remove(key);
}

}  // namespace talvo
