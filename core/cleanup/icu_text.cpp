#include "cleanup/icu_text.h"

#include <unicode/uchar.h>

#include <cstdio>
#include <cstdlib>

namespace talvo::icu_text {

icu::UnicodeString toIcu(QStringView text) {
  return icu::UnicodeString(reinterpret_cast<const char16_t*>(text.utf16()),
                            static_cast<int32_t>(text.size()));
}

QString fromIcu(const icu::UnicodeString& text) {
  return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

Pattern::Pattern(const char16_t* source, Case caseMode) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError where{};
  const uint32_t flags = caseMode == Case::insensitive ? UREGEX_CASE_INSENSITIVE : 0;
  compiled_.reset(icu::RegexPattern::compile(icu::UnicodeString(source), flags, where, status));
  if (U_FAILURE(status) || !compiled_) {
    std::fprintf(stderr, "talvo: pattern does not compile (%s at offset %d)\n", u_errorName(status),
                 where.offset);
    std::abort();
  }
}

std::unique_ptr<icu::RegexMatcher> Pattern::matcher(const icu::UnicodeString& input) const {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(compiled_->matcher(input, status));
  // Only memory exhaustion makes this fail; there is nothing sensible left to do then.
  if (U_FAILURE(status) || !m) std::abort();
  return m;
}

bool Pattern::found(const icu::UnicodeString& input) const {
  auto m = matcher(input);
  return m->find();
}

icu::UnicodeString Pattern::replaceAll(const icu::UnicodeString& input,
                                       const icu::UnicodeString& with) const {
  auto m = matcher(input);
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString result = m->replaceAll(with, status);
  return U_SUCCESS(status) ? result : input;
}

bool isWhiteSpace(char16_t unit) { return u_isUWhiteSpace(unit); }

bool isHorizontalSpace(char16_t unit) {
  return unit == u'\t' || u_charType(unit) == U_SPACE_SEPARATOR;
}

icu::UnicodeString trimmed(const icu::UnicodeString& text) {
  int32_t begin = 0;
  int32_t end = text.length();
  while (begin < end && isWhiteSpace(text.charAt(begin))) ++begin;
  while (end > begin && isWhiteSpace(text.charAt(end - 1))) --end;
  return icu::UnicodeString(text, begin, end - begin);
}

QString trimmed(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isWhiteSpace(text.at(begin).unicode())) ++begin;
  while (end > begin && isWhiteSpace(text.at(end - 1).unicode())) --end;
  return text.mid(begin, end - begin);
}

}  // namespace talvo::icu_text
