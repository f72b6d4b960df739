#include "hotkey/hotkey_choice.h"
#include "hotkey/hotkey_event.h"

#include <array>

namespace talvo {

namespace {
constexpr std::array allChoices{HotkeyChoice::fn, HotkeyChoice::rightOption,
                                HotkeyChoice::rightCommand, HotkeyChoice::rightControl};
}

QString storedForm(HotkeyChoice choice) {
  switch (choice) {
    case HotkeyChoice::fn: return QStringLiteral("fn");
    case HotkeyChoice::rightOption: return QStringLiteral("rightOption");
    case HotkeyChoice::rightCommand: return QStringLiteral("rightCommand");
    case HotkeyChoice::rightControl: return QStringLiteral("rightControl");
  }
  return {};
}

std::optional<HotkeyChoice> hotkeyChoiceFromStored(QStringView stored) {
  for (HotkeyChoice choice : allChoices)
    if (storedForm(choice) == stored) return choice;
  return std::nullopt;
}

QString label(HotkeyChoice choice) {
  switch (choice) {
    case HotkeyChoice::fn: return QStringLiteral("Fn");
    case HotkeyChoice::rightOption: return QStringLiteral("Right Alt");
    case HotkeyChoice::rightCommand: return QStringLiteral("Right Super");
    case HotkeyChoice::rightControl: return QStringLiteral("Right Control");
  }
  return {};
}

QString keysymName(HotkeyChoice choice) {
  switch (choice) {
    case HotkeyChoice::rightOption: return QStringLiteral("Alt_R");
    case HotkeyChoice::rightCommand: return QStringLiteral("Super_R");
    case HotkeyChoice::fn:
    case HotkeyChoice::rightControl: break;
  }
  return QStringLiteral("Control_R");
}

std::vector<HotkeyChoice> offeredHotkeyChoices() {
  return {HotkeyChoice::rightOption, HotkeyChoice::rightCommand, HotkeyChoice::rightControl};
}

HotkeyChoice usableHotkey(std::optional<HotkeyChoice> stored) {
  if (!stored || *stored == HotkeyChoice::fn) return defaultHotkeyChoice;
  return *stored;
}

uint64_t flagOf(HotkeyChoice choice) {
  switch (choice) {
    case HotkeyChoice::fn: return key_flags::secondaryFn;
    case HotkeyChoice::rightOption: return key_flags::alternate;
    case HotkeyChoice::rightCommand: return key_flags::command;
    case HotkeyChoice::rightControl: return key_flags::control;
  }
  return 0;
}

std::optional<uint16_t> keyCodeOf(HotkeyChoice choice) {
  switch (choice) {
    case HotkeyChoice::fn: return std::nullopt;
    case HotkeyChoice::rightOption: return key_codes::rightOption;
    case HotkeyChoice::rightCommand: return key_codes::rightCommand;
    case HotkeyChoice::rightControl: return key_codes::rightControl;
  }
  return std::nullopt;
}

QString toString(const HotkeyEvent& event) {
  struct Visitor {
    QString operator()(const hotkey_event::Pressed&) const { return QStringLiteral("pressed"); }
    QString operator()(const hotkey_event::Released& r) const {
      return QStringLiteral("released(held: %1)").arg(r.held);
    }
    QString operator()(const hotkey_event::Locked&) const { return QStringLiteral("locked"); }
    QString operator()(const hotkey_event::Aborted& a) const {
      return QStringLiteral("aborted(%1)").arg(toString(a.reason));
    }
  };
  return std::visit(Visitor{}, event);
}

}  // namespace talvo
