#include "cleanup/answer_check.h"

#include "pipeline/words.h"

#include "cleanup/icu_text.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

namespace talvo {
namespace {

constexpr double kMostWordsPerRawWord = 1.4;
constexpr double kMostExtraWords = 3;
constexpr double kFewestWordsPerRawWord = 0.35;
constexpr qsizetype kLengthCheckFrom = 4;  // raw words
constexpr qsizetype kShortAnswer = 5;      // answer words
constexpr qsizetype kMostNewInShort = 2;
constexpr double kLeastKeptShare = 0.7;

const char16_t* const kLabels[] = {u"Cleaned text:", u"Cleaned:", u"Output:", u"Transcript:",
                                   u"Here is the cleaned text:"};

QString withoutLabels(QString answer) {
  for (const char16_t* label : kLabels) {
    const QString prefix = QString::fromUtf16(label).toLower();
    if (answer.toLower().startsWith(prefix)) answer = icu_text::trimmed(answer.mid(prefix.size()));
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

bool plausibleLength(qsizetype rawCount, qsizetype answerCount) {
  if (rawCount < kLengthCheckFrom) return true;
  const auto raw = static_cast<double>(rawCount);
  const auto answer = static_cast<double>(answerCount);
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

bool isLineBreak(QChar c) {
  switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x85:
    case 0x2028:
    case 0x2029: return true;
    default: return false;
  }
}

qsizetype lineBreaks(const QString& text) {
  return std::count_if(text.begin(), text.end(), isLineBreak);
}

bool foreignControl(QChar c) {
  return c.category() == QChar::Other_Control && c != u'\n' && c != u'\t';
}

}  // namespace

std::optional<QString> acceptAnswer(const QString& raw, const QString& output) {
  const QString answer = withoutQuotes(withoutLabels(icu_text::trimmed(output)));
  if (answer.isEmpty()) return std::nullopt;
  const QStringList answerWords = normalizedWords(answer);
  if (answerWords.isEmpty()) return std::nullopt;
  const QStringList rawWords = normalizedWords(raw);
  if (!plausibleLength(rawWords.size(), answerWords.size())) return std::nullopt;
  if (!mostlyTheSpeakersWords(rawWords, answerWords)) return std::nullopt;
  return answer;
}

bool keepsLayout(const QString& ruledText, const QString& cleanedAnswer) {
  if (std::any_of(cleanedAnswer.begin(), cleanedAnswer.end(), foreignControl)) return false;
  return lineBreaks(cleanedAnswer) <= lineBreaks(ruledText);
}

}  // namespace talvo
