#pragma once

#include <QString>

namespace talvo {

// The keystroke that pastes in the focused window.
enum class PasteKeys {
  ctrlV,
  ctrlShiftV,   // terminals, where Ctrl+V is a literal-next
  shiftInsert,  // xterm and its kin, which paste the PRIMARY selection this way
};

// Chosen from the focused window's WM_CLASS (instance and class names; on Wayland, its app
// id as the class) and the accessibility role of the focused element.
PasteKeys choosePasteKeys(const QString& wmInstance, const QString& wmClass, const QString& role);

}  // namespace talvo
