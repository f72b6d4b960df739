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
                 "settings, bind a shortcut to the command ") +
             talvoCommand(u"--toggle") +
             QStringLiteral(": press it once to start and again to stop. ") +
             talvoCommand(u"--cancel") + QStringLiteral(" throws a dictation away.");
  }
  return {};
}

// Lines may break after any hyphen, which left "talvo --" on one line and "cancel" on the
// next; a word joiner after each hyphen forbids that, and a no-break space keeps the name
// with its option.
QString talvoCommand(QStringView option) {
  QString command = QStringLiteral("talvo") + QChar(QChar::Nbsp) + option.toString();
  command.replace(QLatin1Char('-'), QStringLiteral("-\u2060"));
  return command;
}

}  // namespace talvo
