// Checks apply() against a plain reading of the matching rules: every phrase compiled and
// run, with no shortcuts, on text where case folding is tricky.
#include "dictionary/user_dictionary.h"

#include <unicode/regex.h>

#include <gtest/gtest.h>

#include <memory>

namespace talvo {
namespace {

icu::UnicodeString icu16(const QString& text) {
  return icu::UnicodeString(reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
}

QString qt16(const icu::UnicodeString& text) {
  return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

// One fix, the slow way: escape everything but letters, digits and spaces, compile, run.
std::unique_ptr<icu::RegexPattern> referencePattern(const QString& heard) {
  QString phrase;
  for (QChar c : heard.trimmed()) {
    if (c == u' ') phrase += "\\s+";
    else if (c.unicode() < 0x80 && !c.isLetterOrNumber()) phrase += QString("\\") + c;
    else phrase += c;
  }
  const QString source = "(?<![\\p{L}\\p{N}])" + phrase + "(?![\\p{L}\\p{N}])";
  UErrorCode status = U_ZERO_ERROR;
  UParseError where;
  std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(icu16(source), UREGEX_CASE_INSENSITIVE, where, status));
  if (U_FAILURE(status)) pattern.reset();
  return pattern;
}

QString reference(const icu::RegexPattern* pattern, const QString& meant, const QString& text) {
  if (!pattern) return text;
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString input = icu16(text);  // the matcher keeps a reference
  std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
  QString literal = meant;
  literal.replace("\\", "\\\\").replace("$", "\\$");
  const icu::UnicodeString replaced = matcher->replaceAll(icu16(literal), status);
  return U_FAILURE(status) ? text : qt16(replaced);
}

TEST(DictionaryApplyReference, CaseFoldingCornersAgree) {
  const QStringList phrases{"straße", "STRASSE", "ﬁne", "FINE", "σοφός", "ΣΟΦΟΣ", "İstanbul",
                            "istanbul", "ıi", "Kelvin", "\u212Aelvin", "ǅemal", "džemal", "ǆ",
                            "ŉ", "ʼn", "ᾳ", "ΑΙ", "café", "cafe\u0301", "x y", "X  Y"};
  const QStringList texts{"STRASSE straße Strasse", "ﬁne FINE fine", "ΣΟΦΟΣ σοφός σοφοσ",
                          "İSTANBUL istanbul ISTANBUL İstanbul", "kelvin \u212AELVIN KELVIN",
                          "ǄEMAL ǅemal džemal DŽEMAL", "ʼN ŉ", "ᾼ ᾳ ΑΙ αι", "CAFÉ cafe\u0301 café",
                          "x\ty X Y x\n\ny"};
  for (const QString& heard : phrases) {
    const UserDictionary dictionary{{}, {{heard, "<" + heard + ">"}}};
    const auto pattern = referencePattern(heard);
    for (const QString& text : texts)
      EXPECT_EQ(dictionary.apply(text), reference(pattern.get(), "<" + heard + ">", text))
          << heard.toStdString() << " in " << text.toStdString();
  }
}

}  // namespace
}  // namespace talvo
