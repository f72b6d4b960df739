#pragma once

#include "storage/history.h"

#include <vector>

namespace talvo {

// The Home card's "This week" numbers.
struct WeekFigures {
  int words = 0;
  int dictations = 0;
  int minutesSaved = 0;
  bool operator==(const WeekFigures&) const = default;
};

inline constexpr double weekSeconds = 7 * 24 * 60 * 60;
inline constexpr double typingWordsPerMinute = 40;

// Counts the entries no older than a week before `now` (seconds since 1970). Minutes saved
// compare typing the words with speaking them, rounded half away from zero, never negative.
WeekFigures weekFigures(const std::vector<History::Entry>& entries, double now);

// The number of white-space separated pieces.
int wordCount(const QString& text);

}  // namespace talvo
