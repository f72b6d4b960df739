#include "storage/preferences.h"

#include "pipeline/errors.h"
#include "storage/log.h"

namespace talvo {
namespace {

namespace key {
const QString hotkey = QStringLiteral("hotkey");
const QString barMode = QStringLiteral("barMode");
const QString sounds = QStringLiteral("sounds");
const QString smartPolish = QStringLiteral("smartPolish");
const QString micUID = QStringLiteral("micUID");
const QString livePreview = QStringLiteral("livePreview");
const QString pillAtCursor = QStringLiteral("pillAtCursor");
const QString readBack = QStringLiteral("readBack");
const QString onboarded = QStringLiteral("onboarded");
const QString aiEndpoint = QStringLiteral("aiEndpoint");
const QString aiModel = QStringLiteral("aiModel");
const QString speechEndpoint = QStringLiteral("speechEndpoint");
const QString speechModel = QStringLiteral("speechModel");
const QString keysRestoreToken = QStringLiteral("keysRestoreToken");
}  // namespace key

bool isText(const QVariant& value) { return value.typeId() == QMetaType::QString; }

// A stored boolean, or the text an INI file turns one into.
std::optional<bool> storedBoolean(const QVariant& value) {
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (isText(value)) {
    const QString text = value.toString();
    if (text == u"true") return true;
    if (text == u"false") return false;
  }
  return std::nullopt;
}

}  // namespace

Preferences::Preferences(std::shared_ptr<SettingsStore> store, std::shared_ptr<LoginItem> loginItem)
    : store_(std::move(store)),
      loginItem_(loginItem ? std::move(loginItem) : std::make_shared<AutostartLoginItem>()) {}

HotkeyChoice Preferences::hotkey() const {
  return usableHotkey(hotkeyChoiceFromStored(text(key::hotkey)));
}
void Preferences::setHotkey(HotkeyChoice choice) { store_->set(key::hotkey, storedForm(choice)); }

BarMode Preferences::barMode() const {
  return barModeFromStored(text(key::barMode)).value_or(BarMode::whileDictating);
}
void Preferences::setBarMode(BarMode mode) { store_->set(key::barMode, storedForm(mode)); }

bool Preferences::sounds() const { return flagDefaultingOn(key::sounds); }
void Preferences::setSounds(bool on) { store_->set(key::sounds, on); }
bool Preferences::smartPolish() const { return flagDefaultingOn(key::smartPolish); }
void Preferences::setSmartPolish(bool on) { store_->set(key::smartPolish, on); }
bool Preferences::livePreview() const { return flagDefaultingOn(key::livePreview); }
void Preferences::setLivePreview(bool on) { store_->set(key::livePreview, on); }
bool Preferences::pillAtCursor() const { return flagDefaultingOn(key::pillAtCursor); }
void Preferences::setPillAtCursor(bool on) { store_->set(key::pillAtCursor, on); }

bool Preferences::readBack() const { return flagDefaultingOff(key::readBack); }
void Preferences::setReadBack(bool on) { store_->set(key::readBack, on); }
bool Preferences::onboarded() const { return flagDefaultingOff(key::onboarded); }
void Preferences::setOnboarded(bool on) { store_->set(key::onboarded, on); }

std::optional<QString> Preferences::micUID() const {
  const QVariant value = store_->get(key::micUID);
  if (!isText(value)) return std::nullopt;
  return value.toString();
}
void Preferences::setMicUID(const std::optional<QString>& uid) {
  if (uid)
    store_->set(key::micUID, *uid);
  else
    store_->remove(key::micUID);
}

QString Preferences::aiEndpoint() const {
  const QString endpoint = text(key::aiEndpoint).trimmed();
  return endpoint.isEmpty() ? QString::fromLatin1(defaultAiEndpoint) : endpoint;
}
void Preferences::setAiEndpoint(const QString& endpoint) { store_->set(key::aiEndpoint, endpoint); }
QString Preferences::aiModel() const { return text(key::aiModel); }
void Preferences::setAiModel(const QString& model) { store_->set(key::aiModel, model); }

QString Preferences::speechEndpoint() const { return text(key::speechEndpoint).trimmed(); }
void Preferences::setSpeechEndpoint(const QString& endpoint) {
  store_->set(key::speechEndpoint, endpoint);
}
QString Preferences::speechModel() const { return text(key::speechModel).trimmed(); }
void Preferences::setSpeechModel(const QString& model) { store_->set(key::speechModel, model); }

QString Preferences::keysRestoreToken() const { return text(key::keysRestoreToken); }
void Preferences::setKeysRestoreToken(const QString& token) {
  store_->set(key::keysRestoreToken, token);
}

bool Preferences::launchAtLogin() const { return loginItem_->enabled(); }
void Preferences::setLaunchAtLogin(bool on) {
  try {
    loginItem_->setEnabled(on);
  } catch (...) {
    Log::info(QStringLiteral("launch at login: ") + errorText(std::current_exception()));
  }
}

bool Preferences::flagDefaultingOn(const QString& key) const {
  return storedBoolean(store_->get(key)).value_or(true);
}

// The store's plain boolean reading: absent is false, text other than "true" is false.
bool Preferences::flagDefaultingOff(const QString& key) const {
  const QVariant value = store_->get(key);
  if (auto flag = storedBoolean(value)) return *flag;
  if (isText(value)) return false;
  return value.isValid() && value.toBool();
}

QString Preferences::text(const QString& key) const {
  const QVariant value = store_->get(key);
  return isText(value) ? value.toString() : QString();
}

}  // namespace talvo
