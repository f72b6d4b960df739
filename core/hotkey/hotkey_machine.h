#pragma once

#include "hotkey/hotkey_choice.h"
#include "hotkey/hotkey_event.h"
#include "hotkey/key_codes.h"
#include "hotkey/key_set.h"

#include <cstdint>
#include <optional>

namespace talvo {

// One sample of the keyboard: modifier flags and the key codes currently down.
struct KeySnapshot {
  uint64_t flags = 0;
  KeySet down;
  bool operator==(const KeySnapshot&) const = default;
};

// Turns keyboard samples into dictation gestures: hold to talk, double tap for
// hands-free, Esc to cancel, and stepping aside when the key is part of a shortcut.
// A plain value with no clock; the caller supplies monotonic time in seconds.
class HotkeyMachine {
public:
  // A release sooner than this after the press is a tap, not a dictation.
  static constexpr double tapMax = 0.3;
  // The longest time from a tap's release to the next press for a double tap.
  static constexpr double doubleTapGap = 0.35;

  explicit HotkeyMachine(HotkeyChoice choice) : choice_(choice) {}

  // Advances by one sample. Emits at most one event, and never allocates.
  std::optional<HotkeyEvent> step(const KeySnapshot& snapshot, double now);

  HotkeyChoice choice() const { return choice_; }
  bool isHeld() const { return downAt_.has_value(); }
  bool isLocked() const { return locked_; }

  bool operator==(const HotkeyMachine&) const = default;

private:
  bool keyDown(const KeySnapshot& s) const;
  bool otherModifier(const KeySnapshot& s) const;
  std::optional<HotkeyEvent> stepLocked(bool keyIsDown, bool escDown, double now);
  std::optional<HotkeyEvent> stepIdle(const KeySnapshot& s, bool keyIsDown, double now);
  std::optional<HotkeyEvent> stepRelease(double now);
  std::optional<HotkeyEvent> stepHolding(const KeySnapshot& s);

  HotkeyChoice choice_;
  std::optional<double> downAt_;
  bool spoiled_ = false;
  KeySet heldBefore_;
  std::optional<double> lastTapUpAt_;
  bool secondTap_ = false;
  bool locked_ = false;
  double lockStart_ = 0;
  bool escWasDown_ = false;
};

}  // namespace talvo
