#pragma once

#include <QString>
#include <QStringList>

namespace talvo {

// The model's instructions list at most this many of the user's terms.
constexpr qsizetype kMaxInstructionTerms = 60;

// The fixed instruction text, then the user's terms to spell exactly (when there are
// any), then the closing sentence.
QString cleanupInstructions(const QStringList& terms);

}  // namespace talvo
