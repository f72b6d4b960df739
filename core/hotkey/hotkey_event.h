#pragma once

#include "pipeline/abort_reason.h"

#include <QString>
#include <variant>

namespace talvo {

namespace hotkey_event {
struct Pressed {
  bool operator==(const Pressed&) const = default;
};
struct Released {
  double held = 0;  // seconds the key was down
  bool operator==(const Released&) const = default;
};
struct Locked {
  bool operator==(const Locked&) const = default;
};
struct Aborted {
  AbortReason reason = AbortReason::cancelled;
  bool operator==(const Aborted&) const = default;
};
}  // namespace hotkey_event

using HotkeyEvent = std::variant<hotkey_event::Pressed, hotkey_event::Released,
                                 hotkey_event::Locked, hotkey_event::Aborted>;

QString toString(const HotkeyEvent& event);

}  // namespace talvo
