#include "dictionary/text_shape.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace talvo {
namespace {

bool isHorizontalSpace(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

bool isAsciiMeta(char16_t c) {
  return c < 0x80 && c > u' ' && !(c >= u'0' && c <= u'9') && !(c >= u'a' && c <= u'z') &&
         !(c >= u'A' && c <= u'Z') && c != 0x7f;
}

}  // namespace

QStringView trimHorizontal(QStringView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isHorizontalSpace(text[begin])) ++begin;
  while (end > begin && isHorizontalSpace(text[end - 1])) --end;
  return text.sliced(begin, end - begin);
}

qsizetype graphemeCount(QStringView text) {
  // Plain ASCII without CR LF is one character per code unit; no need for the break rules.
  const bool simple =
      std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }) &&
      !text.contains(u"\r\n");
  if (simple) return text.size();
  // Creating the iterator costs far more than using it; keep one per thread.
  thread_local std::unique_ptr<icu::BreakIterator> breaks = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> made(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) made.reset();
    return made;
  }();
  if (!breaks) return text.size();
  const icu::UnicodeString string(false, reinterpret_cast<const UChar*>(text.utf16()),
                                  int32_t(text.size()));
  breaks->setText(string);
  qsizetype count = 0;
  for (int32_t at = breaks->next(); at != icu::BreakIterator::DONE; at = breaks->next()) ++count;
  return count;
}

QString literalPhrasePattern(QStringView phrase) {
  QString pattern;
  pattern.reserve(phrase.size() * 2);
  for (QChar c : phrase) {
    if (c == u' ') {
      pattern += QStringLiteral("\\s+");
      continue;
    }
    if (isAsciiMeta(c.unicode())) pattern += QLatin1Char('\\');
    pattern += c;
  }
  return pattern;
}

}  // namespace talvo
