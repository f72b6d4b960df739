#include "dictionary/text_shape.h"
#include "dictionary/user_dictionary.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace talvo {
namespace {

// A safety net against pathological input: the patterns are literal phrases, which never
// need this many steps of the engine (roughly milliseconds).
constexpr int32_t matchStepLimit = 5000;

struct Pair {
  QStringView heard;
  QStringView meant;
  qsizetype length;
};

icu::UnicodeString alias(const QString& text) {
  return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
}

icu::UnicodeString copy(const QString& text) {
  return icu::UnicodeString(reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
}

std::unique_ptr<icu::RegexPattern> compile(QStringView heard) {
  const QStringView phrase = trimHorizontal(heard);
  if (phrase.isEmpty()) return nullptr;
  const QString source = QStringLiteral("(?<![\\p{L}\\p{N}])") + literalPhrasePattern(phrase) +
                         QStringLiteral("(?![\\p{L}\\p{N}])");
  UErrorCode status = U_ZERO_ERROR;
  UParseError where;
  std::unique_ptr<icu::RegexPattern> pattern(
      icu::RegexPattern::compile(copy(source), UREGEX_CASE_INSENSITIVE, where, status));
  if (U_FAILURE(status)) return nullptr;
  return pattern;
}

// Every match replaced by `meant`, taken literally. The text is left as it was when the
// engine fails part way.
void replaceAll(const icu::RegexPattern& pattern, QStringView meant, QString& text) {
  const icu::UnicodeString input = alias(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(input, status));
  if (U_FAILURE(status)) return;
  matcher->setTimeLimit(matchStepLimit, status);
  QString result;
  int32_t copied = 0;
  bool found = false;
  while (matcher->find(status) && U_SUCCESS(status)) {
    const int32_t start = matcher->start(status);
    const int32_t end = matcher->end(status);
    if (U_FAILURE(status)) break;
    if (!found) result.reserve(text.size() + meant.size());
    found = true;
    result.append(QStringView(text).sliced(copied, start - copied));
    result.append(meant);
    copied = end;
  }
  if (U_FAILURE(status) || !found) return;
  result.append(QStringView(text).sliced(copied));
  text = std::move(result);
}

}  // namespace

QString UserDictionary::apply(const QString& text) const {
  std::vector<Pair> pairs;
  pairs.reserve(fixes.size() + std::size_t(words.size()));
  for (const Fix& fix : fixes) pairs.push_back({fix.heard, fix.meant, 0});
  for (const QString& word : words) pairs.push_back({word, word, 0});
  for (Pair& pair : pairs) pair.length = graphemeCount(pair.heard);
  std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.length > b.length; });

  QString result = text;
  for (const Pair& pair : pairs) {
    if (const auto pattern = compile(pair.heard)) replaceAll(*pattern, pair.meant, result);
  }
  return result;
}

}  // namespace talvo
