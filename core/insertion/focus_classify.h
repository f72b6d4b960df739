#pragma once

#include "pipeline/records.h"

#include <QString>
#include <optional>

namespace talvo {

// Whether a focused element takes typed text, from its accessibility role and flags.
// Known roles decide first; the flags only speak for roles neither table knows.
// Never answers unknown, secureInput or ownApp.
FocusVerdict classifyFocus(const std::optional<QString>& role, bool valueSettable,
                           bool selectedTextSettable, bool hasSelectionRange);

}  // namespace talvo
