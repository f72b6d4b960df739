#pragma once

#include "hotkey/key_codes.h"

#include <QString>

#include <optional>
#include <vector>

namespace talvo {

// Which key dictates. fn stays a case because settings stored elsewhere may hold it,
// but X11 cannot see a firmware Fn key, so it is never offered and reads as the default.
enum class HotkeyChoice { fn, rightOption, rightCommand, rightControl };

inline constexpr HotkeyChoice defaultHotkeyChoice = HotkeyChoice::rightControl;

QString storedForm(HotkeyChoice choice);
std::optional<HotkeyChoice> hotkeyChoiceFromStored(QStringView stored);
QString label(HotkeyChoice choice);
// The key's X keysym name ("Control_R"), as compositors and desktop shortcuts name it; the
// default key's for fn, which they cannot see.
QString keysymName(HotkeyChoice choice);

// The keys offered where the user picks one, in the order they are shown.
std::vector<HotkeyChoice> offeredHotkeyChoices();
// The key to use for a stored choice: the choice itself when this desktop can see it,
// otherwise (fn, or nothing stored) the default.
HotkeyChoice usableHotkey(std::optional<HotkeyChoice> stored);

uint64_t flagOf(HotkeyChoice choice);
// The key that must be down besides the flag; none for fn, where the flag alone decides.
std::optional<uint16_t> keyCodeOf(HotkeyChoice choice);

}  // namespace talvo
