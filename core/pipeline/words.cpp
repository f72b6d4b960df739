#include "pipeline/words.h"

#include <utility>

namespace talvo {
namespace {

bool keepsWord(char32_t c) {
  if (c == U'\'') return true;
  switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other: return true;
    default: return false;
  }
}

}  // namespace

QStringList normalizedWords(const QString& text) {
  const QString lower = text.toLower();
  QStringList words;
  QString current;
  for (char32_t c : lower.toUcs4()) {
    if (keepsWord(c)) {
      current += QString::fromUcs4(&c, 1);
    } else if (!current.isEmpty()) {
      words.push_back(std::exchange(current, QString()));
    }
  }
  if (!current.isEmpty()) words.push_back(current);
  return words;
}

}  // namespace talvo
