#pragma once

#include <functional>
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

  // focusedRole: the accessibility role of the focused element, when known.
  X11PasteSender(std::shared_ptr<QtClipboard> clipboard, std::function<QString()> focusedRole);
  X11PasteSender(const X11PasteSender&) = delete;
  X11PasteSender& operator=(const X11PasteSender&) = delete;
  ~X11PasteSender();

  void sendPaste();

  // Whether synthetic keys can be sent at all: the XTEST extension is there.
  static bool trusted();

private:
  std::shared_ptr<QtClipboard> clipboard_;
  std::function<QString()> focusedRole_;
  std::unique_ptr<X11Desktop> desktop_;
};

}  // namespace talvo
