#pragma once

#include "shell/status_menu.h"

#include <QIcon>
#include <QPalette>

#include <functional>
#include <vector>

class QMenu;

namespace talvo {

// The tray's glyph: the program's level bars in one colour, with an accent dot while
// listening, so the tray tells at a glance that the microphone is open.
QIcon trayIcon(bool listening, const QPalette& palette);

// Replaces the menu's items with the rows; choosing one calls `perform` with its action.
// The key equivalents act while the menu is open.
void fillMenu(QMenu& menu, const std::vector<MenuRow>& rows,
              const std::function<void(MenuAction)>& perform);

}  // namespace talvo
