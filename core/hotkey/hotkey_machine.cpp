#include "hotkey/hotkey_machine.h"

namespace talvo {
namespace {

using namespace key_codes;

// Keys that are themselves modifiers never count as "other keys" during a hold.
constexpr KeySet modifierKeys{rightCommand, command,     shift,        capsLock, option, control,
                              rightShift,   rightOption, rightControl, fn,       globe};

// Arrows, navigation and F-keys share the fn flag on many keyboards, so they block an fn press.
constexpr KeySet navigationKeys = [] {
  KeySet keys{leftArrow, rightArrow, downArrow, upArrow,       home,
              end,       pageUp,     pageDown,  forwardDelete, help};
  for (uint16_t key : functionKeys) keys.insert(key);
  return keys;
}();

constexpr uint64_t anyModifier =
    key_flags::shift | key_flags::control | key_flags::alternate | key_flags::command;

bool anyOf(const KeySet& keys, const KeySet& among) {
  for (uint16_t code : keys)
    if (among.contains(code)) return true;
  return false;
}

}  // namespace

bool HotkeyMachine::keyDown(const KeySnapshot& s) const {
  if ((s.flags & flagOf(choice_)) == 0) return false;
  auto code = keyCodeOf(choice_);
  return !code || s.down.contains(*code);
}

bool HotkeyMachine::otherModifier(const KeySnapshot& s) const {
  uint64_t others = anyModifier & ~flagOf(choice_);
  return (s.flags & others) != 0;
}

std::optional<HotkeyEvent> HotkeyMachine::step(const KeySnapshot& s, double now) {
  const bool keyIsDown = keyDown(s);
  const bool escDown = s.down.contains(escape);
  std::optional<HotkeyEvent> event;
  if (locked_)
    event = stepLocked(keyIsDown, escDown, now);
  else if (!downAt_)
    event = stepIdle(s, keyIsDown, now);
  else if (!keyIsDown)
    event = stepRelease(now);
  else
    event = stepHolding(s);
  escWasDown_ = escDown;
  return event;
}

std::optional<HotkeyEvent> HotkeyMachine::stepLocked(bool keyIsDown, bool escDown, double now) {
  if (escDown && !escWasDown_) {
    locked_ = false;
    downAt_.reset();
    return hotkey_event::Aborted{AbortReason::cancelled};
  }
  if (!downAt_ && keyIsDown) {
    downAt_ = now;
    return std::nullopt;
  }
  if (downAt_ && !keyIsDown) {
    locked_ = false;
    downAt_.reset();
    return hotkey_event::Released{now - lockStart_};
  }
  return std::nullopt;
}

std::optional<HotkeyEvent> HotkeyMachine::stepIdle(const KeySnapshot& s, bool keyIsDown,
                                                   double now) {
  if (!keyIsDown || otherModifier(s)) return std::nullopt;
  if (choice_ == HotkeyChoice::fn && anyOf(s.down, navigationKeys)) return std::nullopt;

  downAt_ = now;
  spoiled_ = false;
  heldBefore_ = s.down;
  heldBefore_.eraseIf([](uint16_t code) { return modifierKeys.contains(code); });
  secondTap_ = lastTapUpAt_ && now - *lastTapUpAt_ <= doubleTapGap;
  lastTapUpAt_.reset();
  return hotkey_event::Pressed{};
}

std::optional<HotkeyEvent> HotkeyMachine::stepRelease(double now) {
  const double start = *downAt_;
  downAt_.reset();
  if (spoiled_) {
    spoiled_ = false;
    return std::nullopt;
  }
  const double held = now - start;
  if (held >= tapMax) return hotkey_event::Released{held};
  if (secondTap_) {
    secondTap_ = false;
    locked_ = true;
    lockStart_ = start;
    return hotkey_event::Locked{};
  }
  lastTapUpAt_ = now;
  return hotkey_event::Aborted{AbortReason::tooShort};
}

std::optional<HotkeyEvent> HotkeyMachine::stepHolding(const KeySnapshot& s) {
  if (spoiled_) return std::nullopt;

  bool escAmongOthers = false;
  bool anyOther = false;
  for (uint16_t code : s.down) {
    if (modifierKeys.contains(code) || heldBefore_.contains(code)) continue;
    anyOther = true;
    escAmongOthers = escAmongOthers || code == escape;
  }
  heldBefore_.eraseIf([&](uint16_t code) { return !s.down.contains(code); });

  if (escAmongOthers) {
    spoiled_ = true;
    return hotkey_event::Aborted{AbortReason::cancelled};
  }
  if (anyOther || otherModifier(s)) {
    spoiled_ = true;
    return hotkey_event::Aborted{AbortReason::combo};
  }
  return std::nullopt;
}

}  // namespace talvo
