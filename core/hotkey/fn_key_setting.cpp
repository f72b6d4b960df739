#include "hotkey/fn_key_setting.h"

namespace talvo {

namespace fn_key_setting {

FnKeySetting read() { return FnKeySetting::doNothing; }

}  // namespace fn_key_setting

bool conflicts(FnKeySetting setting) { return setting != FnKeySetting::doNothing; }

QString label(FnKeySetting setting) {
  switch (setting) {
    case FnKeySetting::doNothing: return QStringLiteral("Do Nothing");
    case FnKeySetting::changeInputSource: return QStringLiteral("Change Input Source");
    case FnKeySetting::emoji: return QStringLiteral("Show Emoji & Symbols");
    case FnKeySetting::appleDictation: return QStringLiteral("Start Dictation");
    case FnKeySetting::systemDefault: return QStringLiteral("the system default");
  }
  return {};
}

}  // namespace talvo
