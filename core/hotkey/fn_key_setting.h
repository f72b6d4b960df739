#pragma once

#include <QString>
#include <QVariant>

namespace talvo {

// What a lone press of the Fn key does in the system. A system action there fights with
// dictating on Fn, so onboarding and settings warn about it.
enum class FnKeySetting { doNothing, changeInputSource, emoji, appleDictation, systemDefault };

namespace fn_key_setting {
// The current system setting. Linux has no system action on a lone Fn press.
FnKeySetting read();
// The case a stored preference value stands for: 0 to 3, anything else the default.
FnKeySetting fromPreference(const QVariant& value);
// Where the action is chosen; empty where the desktop has no such settings page.
QString settingsURL();
}  // namespace fn_key_setting

bool conflicts(FnKeySetting setting);
QString label(FnKeySetting setting);

}  // namespace talvo
