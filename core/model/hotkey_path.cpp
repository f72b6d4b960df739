#include "model/hotkey_path.h"

namespace talvo {

QString shortcutNote(HotkeyPath path) {
  switch (path) {
    case HotkeyPath::heldKey: return {};
    case HotkeyPath::desktopShortcut:
      return QStringLiteral(
          "On this desktop the key is a desktop shortcut. The first time, your desktop asks you "
          "to confirm it, and may let you pick another key.");
    case HotkeyPath::commandOnly:
      return QStringLiteral(
          "This desktop does not let programs hear a held key. In your desktop's keyboard "
          "settings, bind a shortcut to the command talvo --toggle: press it once to start and "
          "again to stop. talvo --cancel throws a dictation away.");
  }
  return {};
}

}  // namespace talvo
