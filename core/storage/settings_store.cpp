#include "storage/settings_store.h"

#include "storage/file_io.h"
#include "storage/log.h"

#include <QStandardPaths>

namespace talvo {
namespace {

// A dozen short keys; a larger file is not one this program wrote.
constexpr int64_t maxSettingsBytes = 1 << 20;

// Why QSettings must not open the file, if it must not. A missing file is fine: QSettings
// creates it when saving.
std::optional<QString> refusal(const QString& path) {
  const file_io::ReadResult read = file_io::readAll(path, maxSettingsBytes);
  if (read.data || read.missing) return std::nullopt;
  return read.reason;
}

}  // namespace

QSettingsStore::QSettingsStore() : QSettingsStore(defaultPath()) {}

QSettingsStore::QSettingsStore(const QString& iniPath) {
  if (const auto why = refusal(iniPath)) {
    Log::info(
        QStringLiteral("settings: %1; using the defaults, and changes are not saved").arg(*why));
    return;
  }
  settings_ = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
}

// Where QSettings keeps a user-scope INI file for the organisation and application "Talvo".
QString QSettingsStore::defaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Talvo/Talvo.ini");
}

QVariant QSettingsStore::get(const QString& key) const {
  if (!settings_) return inMemory_.get(key);
  std::lock_guard guard(lock_);
  return settings_->value(key);
}

void QSettingsStore::set(const QString& key, const QVariant& value) {
  if (!settings_) return inMemory_.set(key, value);
  std::lock_guard guard(lock_);
  settings_->setValue(key, value);
}

void QSettingsStore::remove(const QString& key) {
  if (!settings_) return inMemory_.remove(key);
  std::lock_guard guard(lock_);
  settings_->remove(key);
}

void QSettingsStore::sync() {
  if (!settings_) return;
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
