#pragma once

#include "pipeline/words.h"

#include <QString>

namespace talvo {

// Word-level edit distance over the reference's length. An empty reference gives 0 for an
// empty hypothesis and 1 otherwise; the rate can exceed 1 for a much longer hypothesis.
double wordErrorRate(const QString& reference, const QString& hypothesis);

}  // namespace talvo
