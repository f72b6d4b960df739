#include "shell/dictation_feedback.h"

#include "hotkey/hotkey_machine.h"
#include "pipeline/errors.h"
#include "shell/display_words.h"
#include "storage/log.h"

namespace talvo {
namespace {

using K = PillPhase::Kind;

// A hands-free dictation ends as though the key had been held this long, so it is never
// taken for a tap.
constexpr double handsFreeHeldSeconds = 1.0;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// C++20 deduces this by itself; clang before 17, which the static analysis runs on, does not.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

DictationFeedback::DictationFeedback(FeedbackParts parts) : parts_(std::move(parts)) {}

void DictationFeedback::play(Sound sound) {
  if (parts_.prefs->sounds()) parts_.sounds->play(sound);
}

void DictationFeedback::setStatus(const QString& status) {
  if (parts_.model) parts_.model->setStatus(status);
}

void DictationFeedback::flashMessage(const QString& text, const QString& icon, bool clickable,
                                     double seconds) {
  parts_.bar->flash(PillPhase::message(text, icon, clickable), seconds);
}

void DictationFeedback::onState(const DictationState& state) {
  namespace s = dictation_state;
  // Whatever started it, a dictation that stopped listening leaves the key to the hotkey:
  // one that failed at its start must not leave the hotkey ignored.
  if (!std::holds_alternative<s::Listening>(state) && !std::holds_alternative<s::Locked>(state)) {
    handsFree_ = false;
    remoteHold_.invalidate();
  }
  std::visit(Overloaded{
                 [&](const s::Idle&) { parts_.bar->rest(); },
                 [&](const s::Listening&) {
                   play(Sound::tink);
                   parts_.bar->listen();
                 },
                 [&](const s::Locked&) {
                   play(Sound::tink);
                   parts_.bar->model()->setLocked(true);
                 },
                 [&](const s::Working&) {
                   play(Sound::pop);
                   // Shown until the outcome replaces it: no return to rest, no meter.
                   parts_.bar->flash(PillPhase::of(K::working));
                 },
                 [&](const s::Discarded& d) {
                   parts_.bar->rest();
                   Log::info(QStringLiteral("dictation discarded: ") + toString(d.reason));
                 },
                 [&](const s::Failed& f) {
                   flashMessage(f.message, QStringLiteral("exclamationmark.triangle"), false,
                                flash_seconds::failed);
                   setStatus(f.message);
                   Log::info(QStringLiteral("dictation failed: ") + f.message);
                 },
                 [&](const s::Done& d) { done(d.outcome); },
             },
             state);
}

void DictationFeedback::done(const InsertOutcome& outcome) {
  // The controller has already stored this dictation.
  if (parts_.model) parts_.model->setEntries(parts_.model->history()->recent(shownHistoryEntries));
  namespace o = insert_outcome;
  std::visit(Overloaded{
                 [&](const o::Pasted&) {
                   setStatus(QStringLiteral("Ready."));
                   if (!lastRecord_ || parts_.setupVisible()) {
                     parts_.bar->rest();
                     return;
                   }
                   parts_.bar->model()->setWords(displayWords(*lastRecord_));
                   parts_.bar->flash(PillPhase::of(K::done), flash_seconds::done);
                 },
                 [&](const o::CopiedNoPermission&) {
                   flashMessage(QStringLiteral("Copied. Press Ctrl+V to paste"),
                                QStringLiteral("doc.on.clipboard"), false,
                                flash_seconds::copiedNoPermission);
                   setStatus(QStringLiteral(
                       "Copied. Typing for you is off on this desktop, so press Ctrl+V to paste."));
                 },
                 [&](const o::HeldBack& held) {
                   switch (held.verdict) {
                     case FocusVerdict::secureInput:
                       flashMessage(QStringLiteral("Password field, so nothing was typed"),
                                    QStringLiteral("lock"), false, flash_seconds::passwordField);
                       return;
                     case FocusVerdict::ownApp: parts_.bar->rest(); return;
                     case FocusVerdict::text:
                     case FocusVerdict::notText:
                     case FocusVerdict::unknown: break;
                   }
                   flashMessage(QStringLiteral("No text box selected · Click to copy"),
                                QStringLiteral("text.badge.xmark"), true, flash_seconds::noTextBox);
                   setStatus(QStringLiteral("No text box was selected. It's in History."));
                 },
             },
             outcome);
}

void DictationFeedback::onPartial(const std::vector<SpokenWord>& words) {
  if (parts_.prefs->livePreview()) parts_.bar->showWords(words);
}

void DictationFeedback::onRecord(const DictationRecord& record) {
  lastRecord_ = record;
  if (!parts_.prefs->readBack() || !std::holds_alternative<insert_outcome::Pasted>(record.outcome))
    return;
  // At most one read-back at a time: a new dictation cuts the last one off.
  parts_.speaker->stop();
  parts_.speaker->say(record.text);
}

void DictationFeedback::onTap(const PillPhase& phase) {
  switch (phase.kind) {
    case K::hidden:
    case K::working:
    case K::done: return;
    case K::resting:
      if (parts_.dictation.listening()) return;
      handsFree_ = true;
      parts_.dictation.handle(hotkey_event::Pressed{});
      return;
    case K::listening:
      if (!handsFree_) return;
      handsFree_ = false;
      parts_.dictation.handle(hotkey_event::Released{handsFreeHeldSeconds});
      return;
    case K::message:
      if (!phase.clickable) return;
      copyLast();
      flashMessage(QStringLiteral("Copied"), QStringLiteral("checkmark"), false,
                   flash_seconds::copiedConfirmation);
      return;
  }
}

void DictationFeedback::copyLast() {
  if (auto text = parts_.dictation.lastText()) parts_.copyText(*text);
}

void DictationFeedback::onFix() {
  if (!lastRecord_) return;
  parts_.bar->rest();
  parts_.openFixCard(displayWords(*lastRecord_));
}

void DictationFeedback::onTeach(const QString& heard, const QString& meant) {
  UserDictionary dictionary = UserDictionary::load(parts_.dictionaryPath);
  dictionary.addFix(heard, meant);
  try {
    dictionary.save(parts_.dictionaryPath);
  } catch (const Error& error) {
    Log::info(QStringLiteral("dictionary save failed: ") + error.message());
  }
  if (parts_.model) parts_.model->setDictionary(dictionary);
  Log::info(QStringLiteral("taught: ") + heard + QStringLiteral(" -> ") + meant);
}

void DictationFeedback::onHotkey(const HotkeyEvent& event) {
  if (!handsFree_) parts_.dictation.handle(event);
}

void DictationFeedback::onRemote(RemoteCommand command) {
  Log::info(QStringLiteral("asked to ") + toString(command));
  const bool listening = parts_.dictation.listening();
  switch (command) {
    case RemoteCommand::toggle:
      if (listening) return finishRemote(hotkey_event::Released{handsFreeHeldSeconds});
      handsFree_ = true;
      return parts_.dictation.handle(hotkey_event::Pressed{});
    case RemoteCommand::press:
      if (listening) return finishRemote(hotkey_event::Released{handsFreeHeldSeconds});
      remoteHold_.start();
      return parts_.dictation.handle(hotkey_event::Pressed{});
    case RemoteCommand::release: {
      if (!remoteHold_.isValid()) return;
      // Held no longer than a tap, it is a slip of the shortcut, as with the key itself.
      const double held = double(remoteHold_.elapsed()) / 1000.0;
      if (held < HotkeyMachine::tapMax)
        return finishRemote(hotkey_event::Aborted{AbortReason::tooShort});
      return finishRemote(hotkey_event::Released{held});
    }
    case RemoteCommand::cancel:
      if (listening) finishRemote(hotkey_event::Aborted{AbortReason::cancelled});
      return;
  }
}

void DictationFeedback::finishRemote(const HotkeyEvent& event) {
  handsFree_ = false;
  remoteHold_.invalidate();
  parts_.dictation.handle(event);
}

}  // namespace talvo
