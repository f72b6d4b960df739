#pragma once

#include "hotkey/hotkey_choice.h"
#include "storage/bar_mode.h"
#include "storage/login_item.h"
#include "storage/settings_store.h"

#include <memory>
#include <optional>

namespace talvo {

// A typed view of the user's settings. Every read and write goes to the store; nothing is
// cached, so two views over one store always agree. Adds no lock of its own.
class Preferences {
public:
  // Without a login item, the user's XDG autostart entry is used.
  explicit Preferences(std::shared_ptr<SettingsStore> store,
                       std::shared_ptr<LoginItem> loginItem = nullptr);

  // Any stored text other than the four choices reads as the default, rightControl (X11
  // cannot see a firmware Fn key).
  HotkeyChoice hotkey() const;
  void setHotkey(HotkeyChoice choice);

  BarMode barMode() const;
  void setBarMode(BarMode mode);

  // On unless a boolean false is stored.
  bool sounds() const;
  void setSounds(bool on);
  bool smartPolish() const;
  void setSmartPolish(bool on);
  bool livePreview() const;
  void setLivePreview(bool on);
  bool pillAtCursor() const;
  void setPillAtCursor(bool on);

  // Off unless stored as true.
  bool readBack() const;
  void setReadBack(bool on);
  bool onboarded() const;
  void setOnboarded(bool on);

  // The chosen input device; none means the system default. Setting none removes the key.
  std::optional<QString> micUID() const;
  void setMicUID(const std::optional<QString>& uid);

  // Where the local language model answers, and which of its models to ask (empty: the
  // server's own choice).
  QString aiEndpoint() const;
  void setAiEndpoint(const QString& endpoint);
  QString aiModel() const;
  void setAiModel(const QString& model);

  // The full transcription address of a local speech server (empty: none, the default),
  // and which of its models to ask (empty: the server's own choice).
  QString speechEndpoint() const;
  void setSpeechEndpoint(const QString& endpoint);
  QString speechModel() const;
  void setSpeechModel(const QString& model);

  // What the desktop's remote-desktop portal handed back, so that it need not ask the user
  // again to let the program press the paste keys.
  QString keysRestoreToken() const;
  void setKeysRestoreToken(const QString& token);

  // Failures to change it are logged, not reported.
  bool launchAtLogin() const;
  void setLaunchAtLogin(bool on);

  static constexpr const char* defaultAiEndpoint = "http://127.0.0.1:8080";

private:
  bool flagDefaultingOn(const QString& key) const;
  bool flagDefaultingOff(const QString& key) const;
  QString text(const QString& key) const;

  std::shared_ptr<SettingsStore> store_;
  std::shared_ptr<LoginItem> loginItem_;
};

}  // namespace talvo
