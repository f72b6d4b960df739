#include "hotkey/fn_key_setting.h"

namespace talvo {

namespace fn_key_setting {

FnKeySetting read() { return FnKeySetting::doNothing; }

FnKeySetting fromPreference(const QVariant& value) {
  // Only a whole number counts; text such as "2" or a fraction is not a setting.
  if (value.typeId() != QMetaType::Int && value.typeId() != QMetaType::LongLong)
    return FnKeySetting::systemDefault;
  switch (value.toLongLong()) {
    case 0: return FnKeySetting::doNothing;
    case 1: return FnKeySetting::changeInputSource;
    case 2: return FnKeySetting::emoji;
    case 3: return FnKeySetting::appleDictation;
    default: return FnKeySetting::systemDefault;
  }
}

QString settingsURL() { return {}; }

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
