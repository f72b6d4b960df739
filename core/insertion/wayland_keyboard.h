#pragma once

#include "insertion/paste_keys.h"

#include <QString>

#include <memory>

namespace talvo {

// Keys typed through the compositor's virtual-keyboard protocol (sway and other wlroots
// compositors), on a Wayland connection of the keyboard's own, with a full keymap: a
// keymap of one key per call makes some toolkits ignore the shortcut. Keep one for the
// program's life: each new virtual keyboard makes the focused program see its focus leave
// and come back.
class WaylandKeyboard {
public:
  // Null, with the reason in `why`, when there is no compositor to reach or it offers no
  // virtual keyboard.
  static std::unique_ptr<WaylandKeyboard> open(QString& why);
  WaylandKeyboard(const WaylandKeyboard&) = delete;
  WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;
  ~WaylandKeyboard();

  // Presses and releases the keystroke, and returns once the compositor has taken it;
  // false when the compositor went away.
  bool press(PasteKeys keys);

private:
  struct Impl;
  explicit WaylandKeyboard(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvo
