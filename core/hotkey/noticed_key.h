#pragma once

#include "hotkey/hotkey_choice.h"
#include "hotkey/hotkey_machine.h"

#include <deque>

namespace talvo {

// The keyboard as a sampler that only hears notices of the dictation key (a compositor's
// binding, a desktop shortcut) must present it to the hotkey machine: one state per sample,
// in the order the notices came, so that a press and a release heard together are still two
// samples apart.
class NoticedKey {
public:
  explicit NoticedKey(HotkeyChoice choice) : choice_(choice) {}

  // A press while the key is still down means its release never came (another key went
  // down meanwhile, and the desktop kept it to itself): this press ends that hold rather
  // than leaving it listening.
  void press() { push(!keyDown(), false); }
  void release() {
    if (keyDown()) push(false, false);
  }
  // Esc's own press is all there is, and it keeps the key's release from coming.
  void escape() {
    push(keyDown(), true);
    push(false, false);
  }

  // The next state, for one sample.
  const KeySnapshot& next() {
    if (!pending_.empty()) {
      current_ = pending_.front();
      pending_.pop_front();
    }
    return current_;
  }
  const KeySnapshot& current() const { return current_; }
  bool pending() const { return !pending_.empty(); }

private:
  bool keyDown() const {
    const KeySnapshot& last = pending_.empty() ? current_ : pending_.back();
    return (last.flags & flagOf(choice_)) != 0;
  }

  void push(bool keyIsDown, bool escape) {
    KeySnapshot state;
    if (keyIsDown) {
      state.flags = flagOf(choice_);
      if (const auto code = keyCodeOf(choice_)) state.down.insert(*code);
    }
    if (escape) state.down.insert(key_codes::escape);
    pending_.push_back(state);
  }

  HotkeyChoice choice_;
  KeySnapshot current_;
  std::deque<KeySnapshot> pending_;
};

}  // namespace talvo
