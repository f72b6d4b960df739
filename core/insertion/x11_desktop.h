#pragma once

#include "insertion/paste_keys.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace talvo {

// The X11 facts the focus probe and the paste need, on a connection of their own.
class X11Desktop {
public:
  // Null when no X display can be opened.
  static std::unique_ptr<X11Desktop> open();
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;
  ~X11Desktop();

  // The process behind the window that has the keyboard focus, as the server knows it.
  std::optional<int64_t> focusedClientPid();
  // WM_CLASS (instance, class) of the focused window or its nearest ancestor with one.
  std::pair<QString, QString> focusedWmClass();
  // A keyboard grab held by someone else: a password prompt or a locked screen.
  bool keyboardGrabbedByOther();
  // Whether this process owns the selection ("CLIPBOARD" or "PRIMARY") in the server.
  bool ownsSelection(const char* selection);
  // Whether any modifier key is held down right now.
  bool modifiersHeld();
  bool hasXTest();
  // Presses and releases the keys, one at a time, through XTest.
  void sendKeys(PasteKeys keys);

private:
  struct Impl;
  explicit X11Desktop(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvo
