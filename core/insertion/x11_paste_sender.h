#pragma once

#include <memory>

#include <QString>

namespace talvo {

class QtClipboard;
class X11Desktop;

// Sends the paste keystroke through XTest once the X server shows our clipboard and no
// modifier key is held, choosing the keys the focused window expects.
class X11PasteSender {
public:
  // Longest wait for the clipboard ownership and for the user's modifiers to come up.
  static constexpr int maxWaitMs = 1000;

  explicit X11PasteSender(std::shared_ptr<QtClipboard> clipboard);
  X11PasteSender(const X11PasteSender&) = delete;
  X11PasteSender& operator=(const X11PasteSender&) = delete;
  ~X11PasteSender();

  // focusedRole: the accessibility role of the focused element, when known.
  void sendPaste(const QString& focusedRole);

  // Whether synthetic keys can be sent at all: the XTEST extension is there.
  static bool trusted();

private:
  std::shared_ptr<QtClipboard> clipboard_;
  std::unique_ptr<X11Desktop> desktop_;
};

}  // namespace talvo
