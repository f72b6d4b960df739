#include "dictionary/text_shape.h"
#include "dictionary/user_dictionary.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <QHash>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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
  bool fix;  // false: a word, which only restores its own spelling
};

// A match, as UTF-16 offsets [start, end).
struct Span {
  int32_t start;
  int32_t end;
};

// Which heard matches a rewrite leaves alone: those inside a longer occurrence of the
// meant phrase. Both lists come from left-to-right searches, so they are sorted and do
// not overlap among themselves, and one forward sweep answers every question.
class Shelter {
public:
  explicit Shelter(std::vector<Span> meant) : meant_(std::move(meant)) {}

  // Asked for matches in text order.
  bool covers(Span match) {
    while (next_ < meant_.size() && meant_[next_].end < match.end) ++next_;
    if (next_ == meant_.size()) return false;
    const Span& around = meant_[next_];
    const bool inside = around.start <= match.start && match.end <= around.end;
    // An occurrence that is the match itself comes from a fix that only changes case;
    // that one still restores the spelling.
    const bool same = around.start == match.start && around.end == match.end;
    return inside && !same;
  }

private:
  std::vector<Span> meant_;
  std::size_t next_ = 0;
};

icu::UnicodeString alias(const QString& text) {
  return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()),
                            int32_t(text.size()));
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

std::unique_ptr<icu::RegexMatcher> matcherFor(const icu::RegexPattern& pattern,
                                              const icu::UnicodeString& input) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(input, status));
  if (U_FAILURE(status)) return nullptr;
  matcher->setTimeLimit(matchStepLimit, status);
  return matcher;
}

// Every match; nullopt when the engine fails part way.
std::optional<std::vector<Span>> spans(const icu::RegexPattern& pattern, const QString& text) {
  const icu::UnicodeString input = alias(text);
  const auto matcher = matcherFor(pattern, input);
  if (!matcher) return std::nullopt;
  std::vector<Span> found;
  UErrorCode status = U_ZERO_ERROR;
  while (matcher->find(status) && U_SUCCESS(status))
    found.push_back({matcher->start(status), matcher->end(status)});
  if (U_FAILURE(status)) return std::nullopt;
  return found;
}

// Every match outside `shelter` replaced by `meant`, taken literally; whether anything
// changed. The text is left as it was when the engine fails part way.
bool replaceAll(const icu::RegexPattern& pattern, QStringView meant, QString& text,
                std::optional<Shelter> shelter = std::nullopt) {
  const icu::UnicodeString input = alias(text);
  const auto matcher = matcherFor(pattern, input);
  if (!matcher) return false;
  UErrorCode status = U_ZERO_ERROR;
  QString result;
  int32_t copied = 0;
  bool found = false;
  while (matcher->find(status) && U_SUCCESS(status)) {
    const Span match{matcher->start(status), matcher->end(status)};
    if (U_FAILURE(status)) break;
    if (shelter && shelter->covers(match)) continue;
    if (!found) result.reserve(text.size() + meant.size());
    found = true;
    result.append(QStringView(text).sliced(copied, match.start - copied));
    result.append(meant);
    copied = match.end;
  }
  if (U_FAILURE(status) || !found) return false;
  result.append(QStringView(text).sliced(copied));
  text = std::move(result);
  return true;
}

bool isControl(QChar c) { return c.category() == QChar::Other_Control; }

// What the second pass puts in: it adds no control characters, and no line breaks or
// tabs either; those may only come from the cleanup.
QString inserted(QStringView meant) {
  if (std::none_of(meant.begin(), meant.end(), isControl)) return meant.toString();
  QString plain;
  for (QChar c : meant) {
    if (c == u'\n' || c == u'\t')
      plain += u' ';
    else if (!isControl(c))
      plain += c;
  }
  return plain;
}

// The pasted text may hold line feeds and tabs, and no other control character: a
// terminal would act on an escape sequence or a carriage return.
QString pasteable(QString text) {
  text.removeIf([](QChar c) { return isControl(c) && c != u'\n' && c != u'\t'; });
  return text;
}

std::vector<Pair> replacementList(const UserDictionary& dictionary) {
  std::vector<Pair> pairs;
  pairs.reserve(dictionary.fixes.size() + std::size_t(dictionary.words.size()));
  for (const UserDictionary::Fix& fix : dictionary.fixes)
    pairs.push_back({fix.heard, fix.meant, 0, true});
  for (const QString& word : dictionary.words) pairs.push_back({word, word, 0, false});
  for (Pair& pair : pairs) pair.length = graphemeCount(pair.heard);
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const Pair& a, const Pair& b) { return a.length > b.length; });
  return pairs;
}

// Where the meant phrase already stands in the text; nullopt when that cannot be told.
std::optional<std::vector<Span>> occurrences(QStringView meant, const QString& text,
                                             const QString& foldedText) {
  const QStringView phrase = trimHorizontal(meant);
  if (phrase.isEmpty() || !mayOccur(phrase, foldedText)) return std::vector<Span>{};
  const auto pattern = patternFor(phrase);
  return pattern ? spans(*pattern, text) : std::vector<Span>{};
}

}  // namespace

QString UserDictionary::apply(const QString& text) const {
  QString result = text;
  QString foldedResult = folded(result);
  for (const Pair& pair : replacementList(*this)) {
    const QStringView phrase = trimHorizontal(pair.heard);
    if (phrase.isEmpty() || !mayOccur(phrase, foldedResult)) continue;
    const auto pattern = patternFor(phrase);
    if (pattern && replaceAll(*pattern, pair.meant, result)) foldedResult = folded(result);
  }
  return result;
}

QString UserDictionary::applyAfterCleanup(const QString& cleaned) const {
  QString result = cleaned;
  QString foldedResult = folded(result);
  for (const Pair& pair : replacementList(*this)) {
    const QStringView phrase = trimHorizontal(pair.heard);
    if (phrase.isEmpty() || !mayOccur(phrase, foldedResult)) continue;
    const auto pattern = patternFor(phrase);
    if (!pattern) continue;
    std::optional<Shelter> shelter;
    if (pair.fix) {
      auto meant = occurrences(pair.meant, result, foldedResult);
      // Unsure where the fix already acted, it is left out rather than risk doubling.
      if (!meant) continue;
      shelter.emplace(std::move(*meant));
    }
    if (replaceAll(*pattern, inserted(pair.meant), result, std::move(shelter)))
      foldedResult = folded(result);
  }
  return pasteable(std::move(result));
}

}  // namespace talvo
