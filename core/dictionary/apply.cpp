#include "dictionary/text_shape.h"
#include "dictionary/user_dictionary.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <QHash>

#include <algorithm>
#include <memory>
#include <mutex>

namespace talvo {
namespace {

// A safety net against pathological input: the patterns are literal phrases, which never
// need this many steps of the engine (roughly milliseconds).
constexpr int32_t matchStepLimit = 5000;

// Compiling one phrase costs milliseconds (ICU closes the letter and number classes under
// case folding), far more than matching it. Compiled patterns are immutable and shared
// between threads; the cache is cleared when full rather than tracking use.
constexpr qsizetype patternCacheCapacity = 512;

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

QString folded(QStringView text) {
  icu::UnicodeString string(reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
  string.foldCase();
  return QString(reinterpret_cast<const QChar*>(string.getBuffer()), string.length());
}

// Whether `phrase` could match at all: ICU matches case-insensitively by full case folding,
// so every space-separated piece of the folded phrase must occur in the folded text. Most
// phrases fail this cheap test and are never compiled.
bool mayOccur(QStringView phrase, const QString& foldedText) {
  for (QStringView piece : phrase.tokenize(u' ', Qt::SkipEmptyParts))
    if (!foldedText.contains(folded(piece))) return false;
  return true;
}

std::unique_ptr<icu::RegexPattern> compile(QStringView phrase) {
  const QString source = QStringLiteral("(?<![\\p{L}\\p{N}])") + literalPhrasePattern(phrase) +
                         QStringLiteral("(?![\\p{L}\\p{N}])");
  UErrorCode status = U_ZERO_ERROR;
  UParseError where;
  std::unique_ptr<icu::RegexPattern> pattern(
      icu::RegexPattern::compile(copy(source), UREGEX_CASE_INSENSITIVE, where, status));
  if (U_FAILURE(status)) return nullptr;
  return pattern;
}

// The compiled pattern of a trimmed phrase; null when it does not compile.
std::shared_ptr<const icu::RegexPattern> patternFor(QStringView phrase) {
  static std::mutex lock;
  static QHash<QString, std::shared_ptr<const icu::RegexPattern>> cache;
  const QString key = phrase.toString();
  {
    std::lock_guard guard(lock);
    const auto found = cache.constFind(key);
    if (found != cache.cend()) return *found;
  }
  std::shared_ptr<const icu::RegexPattern> pattern = compile(phrase);
  std::lock_guard guard(lock);
  if (cache.size() >= patternCacheCapacity) cache.clear();
  cache.insert(key, pattern);
  return pattern;
}

// Every match replaced by `meant`, taken literally; whether anything changed. The text is
// left as it was when the engine fails part way.
bool replaceAll(const icu::RegexPattern& pattern, QStringView meant, QString& text) {
  const icu::UnicodeString input = alias(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(input, status));
  if (U_FAILURE(status)) return false;
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
  if (U_FAILURE(status) || !found) return false;
  result.append(QStringView(text).sliced(copied));
  text = std::move(result);
  return true;
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
  QString foldedResult = folded(result);
  for (const Pair& pair : pairs) {
    const QStringView phrase = trimHorizontal(pair.heard);
    if (phrase.isEmpty() || !mayOccur(phrase, foldedResult)) continue;
    const auto pattern = patternFor(phrase);
    if (pattern && replaceAll(*pattern, pair.meant, result)) foldedResult = folded(result);
  }
  return result;
}

}  // namespace talvo
