#pragma once

#include "hotkey/hotkey_choice.h"
#include "model/hotkey_path.h"

#include <QByteArray>
#include <QString>

namespace talvo {

// "Ready. Hold Right Control and talk.", or the command to use where the key is not heard.
QString readyMessage(HotkeyChoice choice, HotkeyPath path);

// The set-up window's try-it box after a dictated piece: one blank between pieces, none
// before the first.
QString appendedToTryIt(const QString& before, const QString& piece);

enum class LaunchWindow { none, main, setup };

// Which window opens at launch. Set-up opens until it was once finished, whatever the
// launch; a login launch otherwise opens nothing, and TALVO_NO_WINDOW=1 (exactly "1")
// keeps a user's launch quiet too.
LaunchWindow launchWindow(bool onboarded, bool launchedAtLogin, const QByteArray& noWindowVariable);

}  // namespace talvo
