#pragma once

#include <QString>

namespace talvo {

// What a lone press of the Fn key does in the system. A system action there fights with
// dictating on Fn, so onboarding and settings warn about it.
enum class FnKeySetting { doNothing, changeInputSource, emoji, appleDictation, systemDefault };

namespace fn_key_setting {
// The current system setting. Linux has no system action on a lone Fn press, and no
// settings page to choose one, so the warnings and their link never show.
FnKeySetting read();
}  // namespace fn_key_setting

bool conflicts(FnKeySetting setting);
QString label(FnKeySetting setting);

}  // namespace talvo
