#pragma once

#include <QtGlobal>

#include <memory>
#include <optional>

namespace talvo::test {

// Key events and focus changes for tests, sent through XTest one key at a time on a
// connection of the tests' own.
class XKeyboard {
public:
  XKeyboard();
  ~XKeyboard();

  bool ok() const;
  // Keysym names as X spells them: "Control_R", "Alt_R", "Escape", "a".
  bool press(const char* keysym);
  bool release(const char* keysym);
  bool tap(const char* keysym);
  // Gives the keyboard focus to the window of that process, once it has one.
  bool focusWindowOf(qint64 pid);
  std::optional<qint64> focusedPid();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A keyboard grab held, like a password prompt's, by another X client.
class KeyboardGrab {
public:
  KeyboardGrab();
  ~KeyboardGrab();
  bool held() const { return held_; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool held_ = false;
};

}  // namespace talvo::test
