#pragma once

#include <QIcon>
#include <QPalette>

namespace talvo {

// The tray's glyph: the program's level bars in one colour, with an accent dot while
// listening, so the tray tells at a glance that the microphone is open.
QIcon trayIcon(bool listening, const QPalette& palette);

}  // namespace talvo
