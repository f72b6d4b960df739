#pragma once

#include <QString>
#include <QStringView>

namespace talvo {

// How the dictation key reaches us on this desktop. Only X11 and sway let a program watch a
// held key; Plasma and GNOME hand out a shortcut through their portal instead; elsewhere the
// key never reaches us and the user binds `talvo --toggle` to a shortcut of their own.
enum class HotkeyPath { heldKey, desktopShortcut, commandOnly };

// What the user has to know about the key on this desktop; empty where holding it just works.
QString shortcutNote(HotkeyPath path);

// `talvo` and `option` as the windows print them: a wrapped line never splits the command.
QString talvoCommand(QStringView option);

}  // namespace talvo
