#include "replay/word_error_rate.h"

#include <algorithm>
#include <vector>

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
    case QChar::Number_Other:
      return true;
    default:
      return false;
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

double wordErrorRate(const QString& reference, const QString& hypothesis) {
  const QStringList r = normalizedWords(reference);
  const QStringList h = normalizedWords(hypothesis);
  if (r.isEmpty()) return h.isEmpty() ? 0.0 : 1.0;

  std::vector<int> row(h.size() + 1);
  for (std::size_t j = 0; j < row.size(); ++j) row[j] = int(j);
  for (qsizetype i = 0; i < r.size(); ++i) {
    int diagonal = row[0];
    row[0] = int(i + 1);
    for (qsizetype j = 0; j < h.size(); ++j) {
      const int substitute = diagonal + (r[i] == h[j] ? 0 : 1);
      diagonal = row[j + 1];
      row[j + 1] = std::min({substitute, row[j] + 1, diagonal + 1});
    }
  }
  return double(row.back()) / double(r.size());
}

}  // namespace talvo
