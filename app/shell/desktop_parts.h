#pragma once

#include "hotkey/keyboard_sampler.h"
#include "model/hotkey_path.h"
#include "shell/desktop_session.h"

#include <QString>

#include <functional>
#include <memory>

namespace talvo {

class Clipboard;
class Preferences;
class FocusedWindow;
class PillController;
class WindowFocus;

// The names of the ways the program reaches the desktop, for the log line and the settings.
struct DesktopPaths {
  QString hotkey;
  QString paste;
  QString clipboard;
  QString bar;
  bool operator==(const DesktopPaths&) const = default;
};

QString describe(const DesktopPaths& paths);

// The parts that differ between desktops, made once at start-up for the session.
struct DesktopParts {
  DesktopPaths paths;
  std::shared_ptr<FocusedWindow> focusedWindow;
  std::shared_ptr<Clipboard> clipboard;
  // Whether the paste keystroke can be sent; without it, words are left on the clipboard.
  std::function<bool()> canPaste;
  // Sends the paste keystroke, given the accessibility role of the focused element.
  std::function<void(const QString& role)> sendPaste;
  std::function<std::unique_ptr<KeyboardSampler>(HotkeyChoice)> hotkey;
  // How the user reaches the program while the hotkey's source works.
  HotkeyPath hotkeyPath = HotkeyPath::heldKey;
  std::shared_ptr<PillController> bar;
  std::shared_ptr<WindowFocus> windowFocus;
};

// Needs the QApplication, on the platform the session's choice names. The preferences keep
// what a desktop's consent needs across starts.
DesktopParts makeDesktopParts(SessionKind kind, const std::shared_ptr<Preferences>& prefs);

}  // namespace talvo
