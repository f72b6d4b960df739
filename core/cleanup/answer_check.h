#pragma once

#include <QString>

#include <optional>

namespace talvo {

// The sanity check of a model answer for the transcript `raw`: strips a leading label
// ("Cleaned text:" and the like) and one pair of enclosing quotes, then rejects answers
// that are empty, far longer or shorter than the transcript, or made of too many words
// the speaker never said. nullopt means the answer is not to be trusted.
std::optional<QString> acceptAnswer(const QString& raw, const QString& output);

// Whether an accepted answer, after the rules, may stand in for the ruled text when it is
// pasted: it holds no control characters but line feeds and tabs, and no more line breaks
// than the ruled text. A line break the speaker did not dictate would run a command in a
// terminal.
bool keepsLayout(const QString& ruledText, const QString& cleanedAnswer);

}  // namespace talvo
