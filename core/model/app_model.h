#pragma once

#include "audio/mic/input_device.h"
#include "dictionary/user_dictionary.h"
#include "hotkey/fn_key_setting.h"
#include "hotkey/hotkey_choice.h"
#include "model/hotkey_path.h"
#include "model/platform_facts.h"
#include "pipeline/contracts.h"
#include "speech/server_status.h"
#include "storage/bar_mode.h"
#include "storage/history.h"
#include "storage/preferences.h"
#include "updates/update_info.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvo {

using HistoryEntries = std::vector<History::Entry>;
using InputDevices = std::vector<InputDevice>;
using OptionalText = std::optional<QString>;
using OptionalUpdate = std::optional<UpdateInfo>;

// The one observable model behind the windows: what they show, and the user's settings as
// editable values. A settings setter stores the value in the preferences at once and then
// calls back, so the shell can apply it to the running parts. Main thread only.
class AppModel final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString status READ status WRITE setStatus NOTIFY statusChanged)
  Q_PROPERTY(talvo::HistoryEntries entries READ entries WRITE setEntries NOTIFY entriesChanged)
  Q_PROPERTY(
      talvo::UserDictionary dictionary READ dictionary WRITE setDictionary NOTIFY dictionaryChanged)
  Q_PROPERTY(talvo::AIStatus aiStatus READ aiStatus WRITE setAiStatus NOTIFY aiStatusChanged)
  Q_PROPERTY(talvo::SpeechServerStatus speechStatus READ speechStatus WRITE setSpeechStatus NOTIFY
                 speechStatusChanged)
  Q_PROPERTY(bool micGranted READ micGranted WRITE setMicGranted NOTIFY micGrantedChanged)
  Q_PROPERTY(bool axTrusted READ axTrusted WRITE setAxTrusted NOTIFY axTrustedChanged)
  Q_PROPERTY(
      talvo::FnKeySetting fnSetting READ fnSetting WRITE setFnSetting NOTIFY fnSettingChanged)
  Q_PROPERTY(
      talvo::HotkeyPath hotkeyPath READ hotkeyPath WRITE setHotkeyPath NOTIFY hotkeyPathChanged)
  Q_PROPERTY(talvo::InputDevices mics READ mics WRITE setMics NOTIFY micsChanged)
  Q_PROPERTY(QString tryItText READ tryItText WRITE setTryItText NOTIFY tryItTextChanged)
  Q_PROPERTY(talvo::OptionalUpdate update READ update WRITE setUpdate NOTIFY updateChanged)
  Q_PROPERTY(talvo::HotkeyChoice hotkey READ hotkey WRITE setHotkey NOTIFY hotkeyChanged)
  Q_PROPERTY(talvo::OptionalText micUID READ micUID WRITE setMicUID NOTIFY micUIDChanged)
  Q_PROPERTY(talvo::BarMode barMode READ barMode WRITE setBarMode NOTIFY barModeChanged)
  Q_PROPERTY(bool sounds READ sounds WRITE setSounds NOTIFY soundsChanged)
  Q_PROPERTY(bool smartPolish READ smartPolish WRITE setSmartPolish NOTIFY smartPolishChanged)
  Q_PROPERTY(bool livePreview READ livePreview WRITE setLivePreview NOTIFY livePreviewChanged)
  Q_PROPERTY(bool pillAtCursor READ pillAtCursor WRITE setPillAtCursor NOTIFY pillAtCursorChanged)
  Q_PROPERTY(bool readBack READ readBack WRITE setReadBack NOTIFY readBackChanged)
  Q_PROPERTY(
      bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
  Q_PROPERTY(bool globeKeyConflict READ globeKeyConflict NOTIFY globeKeyConflictChanged)

public:
  using Callback = std::function<void()>;
  using HotkeyCallback = std::function<void(HotkeyChoice)>;
  using MicCallback = std::function<void(const OptionalText&)>;

  // The dictionary is read from, and saved to, `dictionaryPath`.
  AppModel(std::shared_ptr<Preferences> prefs, std::shared_ptr<History> history,
           std::shared_ptr<PlatformFacts> facts,
           QString dictionaryPath = UserDictionary::defaultPath());

  const std::shared_ptr<Preferences>& prefs() const { return prefs_; }
  const std::shared_ptr<History>& history() const { return history_; }

  const QString& status() const { return status_; }
  void setStatus(const QString& value);
  const HistoryEntries& entries() const { return entries_; }
  void setEntries(const HistoryEntries& value);
  const UserDictionary& dictionary() const { return dictionary_; }
  void setDictionary(const UserDictionary& value);
  AIStatus aiStatus() const { return aiStatus_; }
  void setAiStatus(AIStatus value);
  // The local speech server's cached status, as the transcriber last probed it.
  SpeechServerStatus speechStatus() const { return speechStatus_; }
  void setSpeechStatus(SpeechServerStatus value);
  bool micGranted() const { return micGranted_; }
  void setMicGranted(bool value);
  bool axTrusted() const { return axTrusted_; }
  void setAxTrusted(bool value);
  FnKeySetting fnSetting() const { return fnSetting_; }
  void setFnSetting(FnKeySetting value);
  // Set by the shell once it knows which desktop it runs on.
  HotkeyPath hotkeyPath() const { return hotkeyPath_; }
  void setHotkeyPath(HotkeyPath value);
  const InputDevices& mics() const { return mics_; }
  void setMics(const InputDevices& value);
  const QString& tryItText() const { return tryItText_; }
  void setTryItText(const QString& value);
  const OptionalUpdate& update() const { return update_; }
  void setUpdate(const OptionalUpdate& value);

  // The settings: each setter stores the field, writes the preference, then calls back.
  HotkeyChoice hotkey() const { return hotkey_; }
  void setHotkey(HotkeyChoice value);
  const OptionalText& micUID() const { return micUID_; }
  void setMicUID(const OptionalText& value);
  BarMode barMode() const { return barMode_; }
  void setBarMode(BarMode value);
  bool sounds() const { return sounds_; }
  void setSounds(bool value);
  bool smartPolish() const { return smartPolish_; }
  void setSmartPolish(bool value);
  bool livePreview() const { return livePreview_; }
  void setLivePreview(bool value);
  bool pillAtCursor() const { return pillAtCursor_; }
  void setPillAtCursor(bool value);
  bool readBack() const { return readBack_; }
  void setReadBack(bool value);
  bool launchAtLogin() const { return launchAtLogin_; }
  void setLaunchAtLogin(bool value);

  // The system would act on the very key the user dictates with.
  bool globeKeyConflict() const;

  // Re-reads the desktop facts; only fields whose value differs are assigned.
  void refresh();
  // A failure is logged; the edited dictionary stays either way.
  void saveDictionary();

  // Where the desktop's own settings for these live; absent where it has none, and the
  // views then hide the buttons that would open them.
  static const std::optional<SettingsLink>& accessibilitySettingsLink();
  static const std::optional<SettingsLink>& microphoneSettingsLink();

  const HotkeyCallback& onHotkeyChange() const { return onHotkeyChange_; }
  void setOnHotkeyChange(HotkeyCallback f) { onHotkeyChange_ = std::move(f); }
  const MicCallback& onMicChange() const { return onMicChange_; }
  void setOnMicChange(MicCallback f) { onMicChange_ = std::move(f); }
  const Callback& onBarModeChange() const { return onBarModeChange_; }
  void setOnBarModeChange(Callback f) { onBarModeChange_ = std::move(f); }
  const Callback& onPolishChange() const { return onPolishChange_; }
  void setOnPolishChange(Callback f) { onPolishChange_ = std::move(f); }
  const Callback& onPillChange() const { return onPillChange_; }
  void setOnPillChange(Callback f) { onPillChange_ = std::move(f); }
  const Callback& onRunSetup() const { return onRunSetup_; }
  void setOnRunSetup(Callback f) { onRunSetup_ = std::move(f); }
  const Callback& onFinishSetup() const { return onFinishSetup_; }
  void setOnFinishSetup(Callback f) { onFinishSetup_ = std::move(f); }

  // For the views: an unset callback does nothing.
  void runSetup();
  void finishSetup();

signals:
  void statusChanged();
  void entriesChanged();
  void dictionaryChanged();
  void aiStatusChanged();
  void speechStatusChanged();
  void micGrantedChanged();
  void axTrustedChanged();
  void fnSettingChanged();
  void hotkeyPathChanged();
  void micsChanged();
  void tryItTextChanged();
  void updateChanged();
  void hotkeyChanged();
  void micUIDChanged();
  void barModeChanged();
  void soundsChanged();
  void smartPolishChanged();
  void livePreviewChanged();
  void pillAtCursorChanged();
  void readBackChanged();
  void launchAtLoginChanged();
  void globeKeyConflictChanged();

private:
  std::shared_ptr<Preferences> prefs_;
  std::shared_ptr<History> history_;
  std::shared_ptr<PlatformFacts> facts_;
  QString dictionaryPath_;

  QString status_;
  HistoryEntries entries_;
  UserDictionary dictionary_;
  AIStatus aiStatus_ = AIStatus::unknown;
  SpeechServerStatus speechStatus_ = SpeechServerStatus::off;
  bool micGranted_ = false;
  bool axTrusted_ = false;
  FnKeySetting fnSetting_ = FnKeySetting::doNothing;
  HotkeyPath hotkeyPath_ = HotkeyPath::heldKey;
  InputDevices mics_;
  QString tryItText_;
  OptionalUpdate update_;
  HotkeyChoice hotkey_;
  OptionalText micUID_;
  BarMode barMode_;
  bool sounds_;
  bool smartPolish_;
  bool livePreview_;
  bool pillAtCursor_;
  bool readBack_;
  bool launchAtLogin_;

  HotkeyCallback onHotkeyChange_;
  MicCallback onMicChange_;
  Callback onBarModeChange_;
  Callback onPolishChange_;
  Callback onPillChange_;
  Callback onRunSetup_;
  Callback onFinishSetup_;
};

}  // namespace talvo
