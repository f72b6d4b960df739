#pragma once

#include <QtGlobal>

#include <memory>

namespace talvo::test {

// Key events, focus changes and keyboard grabs for tests, sent on an X connection of the
// tests' own: to the program under test it is just another client.
class XKeyboard {
public:
  XKeyboard();
  XKeyboard(const XKeyboard&) = delete;
  XKeyboard& operator=(const XKeyboard&) = delete;
  ~XKeyboard();

  // Keysym names as X spells them: "Control_R", "Alt_R", "Escape", "a".
  bool press(const char* keysym);
  bool release(const char* keysym);
  bool tap(const char* keysym) { return press(keysym) && release(keysym); }
  // Gives the keyboard focus to the window once it is on screen.
  bool focus(quint64 window);
  quint64 focused();
  // Holds the keyboard the way a password prompt does.
  bool grab();
  void ungrab();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvo::test
