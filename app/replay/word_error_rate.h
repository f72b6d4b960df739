#pragma once

#include <QString>
#include <QStringList>

namespace talvo {

// Lower-cased words; anything that is neither a letter, mark, number nor an apostrophe
// separates them, so case and punctuation never count as errors.
QStringList normalizedWords(const QString& text);

// Word-level edit distance over the reference's length. An empty reference gives 0 for an
// empty hypothesis and 1 otherwise; the rate can exceed 1 for a much longer hypothesis.
double wordErrorRate(const QString& reference, const QString& hypothesis);

}  // namespace talvo
