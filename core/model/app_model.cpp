#include "model/app_model.h"

#include "pipeline/errors.h"
#include "storage/log.h"

#include <QStandardPaths>

namespace talvo {
namespace {

// Plain setters always store and notify, as the views expect after every write.
template <typename T, typename Signal>
void store(AppModel* model, T& field, const T& value, Signal changed) {
  field = value;
  emit(model->*changed)();
}

// Used where a write must not notify when nothing changed.
template <typename T, typename Setter>
void assignIfChanged(AppModel* model, const T& current, const T& value, Setter setter) {
  if (!(current == value)) (model->*setter)(value);
}

template <typename F, typename... Args>
void call(const F& callback, Args&&... args) {
  if (callback) callback(std::forward<Args>(args)...);
}

// The first installed program that opens the desktop's sound settings.
std::optional<SettingsLink> findSoundSettings() {
  const std::vector<SettingsLink> candidates{
      {QStringLiteral("pavucontrol"), {QStringLiteral("--tab=4")}},
      {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
      {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}},
  };
  for (const SettingsLink& link : candidates) {
    const QString path = QStandardPaths::findExecutable(link.program);
    if (!path.isEmpty()) return SettingsLink{path, link.arguments};
  }
  return std::nullopt;
}

}  // namespace

AppModel::AppModel(std::shared_ptr<Preferences> prefs, std::shared_ptr<History> history,
                   std::shared_ptr<PlatformFacts> facts, QString dictionaryPath)
    : prefs_(std::move(prefs)),
      history_(std::move(history)),
      facts_(std::move(facts)),
      dictionaryPath_(std::move(dictionaryPath)),
      status_(QStringLiteral("Starting…")),
      dictionary_(UserDictionary::load(dictionaryPath_)),
      hotkey_(prefs_->hotkey()),
      micUID_(prefs_->micUID()),
      barMode_(prefs_->barMode()),
      sounds_(prefs_->sounds()),
      smartPolish_(prefs_->smartPolish()),
      livePreview_(prefs_->livePreview()),
      pillAtCursor_(prefs_->pillAtCursor()),
      readBack_(prefs_->readBack()),
      launchAtLogin_(prefs_->launchAtLogin()) {}

void AppModel::setStatus(const QString& v) { store(this, status_, v, &AppModel::statusChanged); }
void AppModel::setEntries(const HistoryEntries& v) {
  store(this, entries_, v, &AppModel::entriesChanged);
}
void AppModel::setDictionary(const UserDictionary& v) {
  store(this, dictionary_, v, &AppModel::dictionaryChanged);
}
void AppModel::setAiStatus(AIStatus v) { store(this, aiStatus_, v, &AppModel::aiStatusChanged); }
void AppModel::setSpeechStatus(SpeechServerStatus v) {
  store(this, speechStatus_, v, &AppModel::speechStatusChanged);
}
void AppModel::setMicGranted(bool v) { store(this, micGranted_, v, &AppModel::micGrantedChanged); }
void AppModel::setAxTrusted(bool v) { store(this, axTrusted_, v, &AppModel::axTrustedChanged); }
void AppModel::setFnSetting(FnKeySetting v) {
  store(this, fnSetting_, v, &AppModel::fnSettingChanged);
  emit globeKeyConflictChanged();
}
void AppModel::setHotkeyPath(HotkeyPath v) {
  store(this, hotkeyPath_, v, &AppModel::hotkeyPathChanged);
}
void AppModel::setMics(const InputDevices& v) { store(this, mics_, v, &AppModel::micsChanged); }
void AppModel::setTryItText(const QString& v) {
  store(this, tryItText_, v, &AppModel::tryItTextChanged);
}
void AppModel::setUpdate(const OptionalUpdate& v) {
  store(this, update_, v, &AppModel::updateChanged);
}

void AppModel::setHotkey(HotkeyChoice v) {
  store(this, hotkey_, v, &AppModel::hotkeyChanged);
  emit globeKeyConflictChanged();
  prefs_->setHotkey(hotkey_);
  call(onHotkeyChange_, hotkey_);
}

void AppModel::setMicUID(const OptionalText& v) {
  store(this, micUID_, v, &AppModel::micUIDChanged);
  prefs_->setMicUID(micUID_);
  call(onMicChange_, micUID_);
}

void AppModel::setBarMode(BarMode v) {
  store(this, barMode_, v, &AppModel::barModeChanged);
  prefs_->setBarMode(barMode_);
  call(onBarModeChange_);
}

void AppModel::setSounds(bool v) {
  store(this, sounds_, v, &AppModel::soundsChanged);
  prefs_->setSounds(sounds_);
}

void AppModel::setSmartPolish(bool v) {
  store(this, smartPolish_, v, &AppModel::smartPolishChanged);
  prefs_->setSmartPolish(smartPolish_);
  call(onPolishChange_);
}

void AppModel::setLivePreview(bool v) {
  store(this, livePreview_, v, &AppModel::livePreviewChanged);
  prefs_->setLivePreview(livePreview_);
  call(onPillChange_);
}

void AppModel::setPillAtCursor(bool v) {
  store(this, pillAtCursor_, v, &AppModel::pillAtCursorChanged);
  prefs_->setPillAtCursor(pillAtCursor_);
  call(onPillChange_);
}

void AppModel::setReadBack(bool v) {
  store(this, readBack_, v, &AppModel::readBackChanged);
  prefs_->setReadBack(readBack_);
}

// Rewriting an autostart entry that already says the same thing would only churn the file.
void AppModel::setLaunchAtLogin(bool v) {
  store(this, launchAtLogin_, v, &AppModel::launchAtLoginChanged);
  if (prefs_->launchAtLogin() != launchAtLogin_) prefs_->setLaunchAtLogin(launchAtLogin_);
}

bool AppModel::globeKeyConflict() const {
  return hotkey_ == HotkeyChoice::fn && fnSetting_ != FnKeySetting::doNothing;
}

void AppModel::refresh() {
  assignIfChanged(this, micGranted_, facts_->microphoneAllowed(), &AppModel::setMicGranted);
  assignIfChanged(this, axTrusted_, facts_->typingAllowed(), &AppModel::setAxTrusted);
  assignIfChanged(this, fnSetting_, facts_->fnSetting(), &AppModel::setFnSetting);
  assignIfChanged(this, mics_, facts_->inputDevices(), &AppModel::setMics);
}

void AppModel::saveDictionary() {
  try {
    dictionary_.save(dictionaryPath_);
  } catch (const Error& error) {
    Log::info(QStringLiteral("dictionary save failed: ") + error.message());
  }
}

const std::optional<SettingsLink>& AppModel::accessibilitySettingsLink() {
  // No desktop has a page that grants synthetic typing; XTest is simply there or not.
  static const std::optional<SettingsLink> link;
  return link;
}

const std::optional<SettingsLink>& AppModel::microphoneSettingsLink() {
  static const std::optional<SettingsLink> link = findSoundSettings();
  return link;
}

void AppModel::runSetup() { call(onRunSetup_); }
void AppModel::finishSetup() { call(onFinishSetup_); }

}  // namespace talvo
