#include "windows/week_figures.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace talvo {

int wordCount(const QString& text) {
  return static_cast<int>(
      text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
}

WeekFigures weekFigures(const std::vector<History::Entry>& entries, double now) {
  WeekFigures figures;
  double typingMinutes = 0;
  double speakingMinutes = 0;
  for (const auto& entry : entries) {
    if (entry.ts < now - weekSeconds) continue;
    const int words = wordCount(entry.text);
    ++figures.dictations;
    figures.words += words;
    typingMinutes += words / typingWordsPerMinute;
    speakingMinutes += entry.seconds / 60;
  }
  // std::round already takes halves away from zero.
  figures.minutesSaved = std::max(0, static_cast<int>(std::round(typingMinutes - speakingMinutes)));
  return figures;
}

}  // namespace talvo
