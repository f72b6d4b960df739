#include "cleanup/answer_check.h"

#include "cleanup/icu_text.h"

#include <QSet>
#include <QStringList>

namespace talvo {
namespace {

constexpr double kMostWordsPerRawWord = 1.4;
constexpr double kMostExtraWords = 3;
constexpr double kFewestWordsPerRawWord = 0.35;
constexpr qsizetype kLengthCheckFrom = 4;   // raw words
constexpr qsizetype kShortAnswer = 5;       // answer words
constexpr qsizetype kMostNewInShort = 2;
constexpr double kLeastKeptShare = 0.7;

const char16_t* const kLabels[] = {u"Cleaned text:", u"Cleaned:", u"Output:", u"Transcript:",
                                   u"Here is the cleaned text:"};

QString withoutLabels(QString answer) {
  for (const char16_t* label : kLabels) {
    const QString prefix = QString::fromUtf16(label).toLower();
    if (answer.toLower().startsWith(prefix))
      answer = icu_text::trimmed(answer.mid(prefix.size()));
  }
  return answer;
}

QString withoutQuotes(const QString& answer) {
  if (answer.size() < 2) return answer;
  const QChar first = answer.front();
  const QChar last = answer.back();
  const bool straight = first == u'"' && last == u'"';
  const bool curly = first == u'\u201C' && last == u'\u201D';
  return straight || curly ? answer.mid(1, answer.size() - 2) : answer;
}

bool isWordPart(char32_t c) {
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

// Lower-cased runs of letters, marks, digits and apostrophes.
QStringList words(const QString& text) {
  const QString lower = text.toLower();
  QStringList result;
  QString current;
  for (qsizetype i = 0; i < lower.size();) {
    char32_t c = lower.at(i).unicode();
    qsizetype width = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < lower.size() && lower.at(i + 1).isLowSurrogate()) {
      c = QChar::surrogateToUcs4(lower.at(i), lower.at(i + 1));
      width = 2;
    }
    if (isWordPart(c)) {
      current += lower.mid(i, width);
    } else if (!current.isEmpty()) {
      result.append(current);
      current.clear();
    }
    i += width;
  }
  if (!current.isEmpty()) result.append(current);
  return result;
}

bool plausibleLength(qsizetype rawCount, qsizetype answerCount) {
  if (rawCount < kLengthCheckFrom) return true;
  const double raw = static_cast<double>(rawCount);
  const double answer = static_cast<double>(answerCount);
  return answer <= kMostWordsPerRawWord * raw + kMostExtraWords &&
         answer >= kFewestWordsPerRawWord * raw;
}

bool mostlyTheSpeakersWords(const QStringList& rawWords, const QStringList& answerWords) {
  const QSet<QString> said(rawWords.begin(), rawWords.end());
  qsizetype kept = 0;
  for (const QString& word : answerWords)
    if (said.contains(word)) ++kept;
  const qsizetype count = answerWords.size();
  if (count <= kShortAnswer) return count - kept <= kMostNewInShort;
  return static_cast<double>(kept) / static_cast<double>(count) >= kLeastKeptShare;
}

}  // namespace

std::optional<QString> acceptAnswer(const QString& raw, const QString& output) {
  const QString answer = withoutQuotes(withoutLabels(icu_text::trimmed(output)));
  if (answer.isEmpty()) return std::nullopt;
  const QStringList answerWords = words(answer);
  if (answerWords.isEmpty()) return std::nullopt;
  const QStringList rawWords = words(raw);
  if (!plausibleLength(rawWords.size(), answerWords.size())) return std::nullopt;
  if (!mostlyTheSpeakersWords(rawWords, answerWords)) return std::nullopt;
  return answer;
}

}  // namespace talvo
