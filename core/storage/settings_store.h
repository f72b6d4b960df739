#pragma once

#include <QHash>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

namespace talvo {

// A per-user key-value store of settings. Implementations are safe to use from any thread.
class SettingsStore {
public:
  virtual ~SettingsStore() = default;
  // An invalid QVariant when the key is absent.
  virtual QVariant get(const QString& key) const = 0;
  virtual void set(const QString& key, const QVariant& value) = 0;
  virtual void remove(const QString& key) = 0;
};

// Keeps values in memory only, as they were set.
class MemorySettingsStore final : public SettingsStore {
public:
  QVariant get(const QString& key) const override;
  void set(const QString& key, const QVariant& value) override;
  void remove(const QString& key) override;

private:
  mutable std::mutex lock_;
  QHash<QString, QVariant> values_;
};

// The application's store: QSettings, an INI file under $XDG_CONFIG_HOME. Values read back
// from the file are text, so "true" and "false" stand for booleans.
// The file is checked before QSettings opens it, because QSettings would wait forever on a
// FIFO, read a file of any size, and replace a special file when saving. When the check
// fails the store logs why, starts from the defaults and keeps changes in memory, leaving
// the file alone.
class QSettingsStore final : public SettingsStore {
public:
  // The per-user settings of this application.
  QSettingsStore();
  // A settings file of its own, for tests and the render mode.
  explicit QSettingsStore(const QString& iniPath);

  QVariant get(const QString& key) const override;
  void set(const QString& key, const QVariant& value) override;
  void remove(const QString& key) override;
  void sync();

  static QString defaultPath();

private:
  // QSettings is reentrant, not thread-safe.
  mutable std::mutex lock_;
  std::unique_ptr<QSettings> settings_;  // none when the file was refused
  MemorySettingsStore inMemory_;
};

}  // namespace talvo
