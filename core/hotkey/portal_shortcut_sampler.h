#pragma once

#include "hotkey/keyboard_sampler.h"

#include <QDBusConnection>

namespace talvo {

// The dictation key as a shortcut bound through the desktop's GlobalShortcuts portal (KDE
// Plasma, GNOME 48 and later), where a program cannot read the keyboard: the shortcut's
// activation and deactivation are the key's press and release. The desktop asks the user
// to confirm the binding, and may let them pick another key. When the bus has no such
// portal, or the desktop refuses, the sampler is lost, with one log line.
std::unique_ptr<KeyboardSampler> makePortalShortcutSampler(HotkeyChoice choice,
                                                           const QDBusConnection& bus);

}  // namespace talvo
