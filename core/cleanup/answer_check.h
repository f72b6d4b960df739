#pragma once

#include <QString>

#include <optional>

namespace talvo {

// The sanity check of a model answer for the transcript `raw`: strips a leading label
// ("Cleaned text:" and the like) and one pair of enclosing quotes, then rejects answers
// that are empty, far longer or shorter than the transcript, or made of too many words
// the speaker never said. nullopt means the answer is not to be trusted.
std::optional<QString> acceptAnswer(const QString& raw, const QString& output);

}  // namespace talvo
