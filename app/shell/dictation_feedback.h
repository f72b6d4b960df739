#pragma once

#include "bar/pill_controller.h"
#include "feedback/sound_player.h"
#include "feedback/speaker.h"
#include "hotkey/hotkey_event.h"
#include "model/app_model.h"
#include "pipeline/records.h"
#include "shell/remote_command.h"
#include "storage/preferences.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvo {

// How long each bar message stays before the bar returns to rest, in seconds.
namespace flash_seconds {
inline constexpr double failed = 3.0;
inline constexpr double done = 4.0;
inline constexpr double copiedNoPermission = 3.0;
inline constexpr double passwordField = 3.0;
inline constexpr double noTextBox = 6.0;
inline constexpr double copiedConfirmation = 1.2;
}  // namespace flash_seconds

// The windows show this many of the newest dictations.
inline constexpr int shownHistoryEntries = 100;

// The dictation as the feedback needs it: whether it listens, its last text, and the way
// to drive it. The shell hands in the real controller; tests record.
struct DictationAccess {
  std::function<bool()> listening = [] { return false; };
  std::function<std::optional<QString>()> lastText = [] { return std::optional<QString>(); };
  std::function<void(const HotkeyEvent&)> handle = [](const HotkeyEvent&) {};
};

struct FeedbackParts {
  std::shared_ptr<Preferences> prefs;
  QPointer<AppModel> model;
  std::shared_ptr<PillController> bar;
  std::shared_ptr<SoundPlayer> sounds;
  std::shared_ptr<Speaker> speaker;
  DictationAccess dictation;
  // Replaces the clipboard's contents with plain text.
  std::function<void(const QString&)> copyText;
  // The set-up window is shown: its try-it box takes the words, so the bar stays quiet.
  std::function<bool()> setupVisible = [] { return false; };
  // Opens the fix card for these words at the text cursor.
  std::function<void(const std::vector<SpokenWord>&)> openFixCard;
  QString dictionaryPath;
};

// What the user sees and hears of each dictation besides the inserted text: sounds, the
// bar's phases and messages, the status line, read-back, the copy fallbacks and the
// hand-off to the fix card. Main thread only.
class DictationFeedback {
public:
  explicit DictationFeedback(FeedbackParts parts);

  void onState(const DictationState& state);
  void onPartial(const std::vector<SpokenWord>& words);
  void onRecord(const DictationRecord& record);
  void onTap(const PillPhase& phase);
  void onFix();
  void onTeach(const QString& heard, const QString& meant);
  // The hotkey's events, dropped while a dictation started from the bar runs: that one
  // ends only by another tap.
  void onHotkey(const HotkeyEvent& event);
  // The key as another process drives it. Toggle starts and ends a dictation as a tap on
  // the bar does. Press and Release hold it; their release may never come (a shortcut
  // whose key-up the desktop swallows), so a press while listening ends the dictation.
  void onRemote(RemoteCommand command);
  // The menu's copy: no bar feedback.
  void copyLast();

  bool handsFree() const { return handsFree_; }
  const std::optional<DictationRecord>& lastRecord() const { return lastRecord_; }

private:
  void play(Sound sound);
  void setStatus(const QString& status);
  void done(const InsertOutcome& outcome);
  void flashMessage(const QString& text, const QString& icon, bool clickable, double seconds);
  void finishRemote(const HotkeyEvent& event);

  FeedbackParts parts_;
  std::optional<DictationRecord> lastRecord_;
  // Whether the dictation running now ends only by a tap or a toggle.
  bool handsFree_ = false;
  // Running since a remote press, while its dictation has not ended.
  QElapsedTimer remoteHold_;
};

}  // namespace talvo
