#pragma once

#include <QString>
#include <QStringView>

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

// Thin helpers between Qt strings and ICU regular expressions. Both sides are UTF-16,
// so conversions are plain copies and match offsets mean the same on either side.
namespace talvo::icu_text {

icu::UnicodeString toIcu(QStringView text);
QString fromIcu(const icu::UnicodeString& text);

// A pattern compiled once and shared; matchers are made per use because an ICU matcher
// is not safe to share between threads, while the compiled pattern is.
class Pattern {
public:
  enum class Case { sensitive, insensitive };

  // Stops the program when the pattern does not compile: patterns are constants here.
  Pattern(const char16_t* source, Case caseMode);

  std::unique_ptr<icu::RegexMatcher> matcher(const icu::UnicodeString& input) const;
  bool found(const icu::UnicodeString& input) const;
  // Every non-overlapping match, left to right, rewritten with an ICU template ("$1").
  icu::UnicodeString replaceAll(const icu::UnicodeString& input,
                                const icu::UnicodeString& with) const;

private:
  std::unique_ptr<icu::RegexPattern> compiled_;
};

// Unicode White_Space, the set that trimming "white space and line breaks" removes.
bool isWhiteSpace(char16_t unit);
// Space separators and the tab: white space that does not break a line.
bool isHorizontalSpace(char16_t unit);

icu::UnicodeString trimmed(const icu::UnicodeString& text);
QString trimmed(const QString& text);

}  // namespace talvo::icu_text
