#pragma once

#include "pipeline/records.h"

#include <vector>

namespace talvo {

// The words of a record's final text, for the bar's done display and the fix card. The
// recogniser's doubt carries over to every piece that still reads as a doubted word once
// punctuation and case are set aside; a word that cleanup or a fix changed shows as sure.
std::vector<SpokenWord> displayWords(const DictationRecord& record);

}  // namespace talvo
