// The scratch-command pass is implemented without re-searching the text after every cut.
// This compares it, on many random texts, with the plain loop that does re-search.
#include "cleanup/icu_text.h"
#include "cleanup/rules.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace talvo {
namespace {

using icu_text::Pattern;
using Case = Pattern::Case;

icu::UnicodeString plainScratchLoop(icu::UnicodeString text) {
  const Pattern scratch(uR"((scratch that|delete that|forget that)[,.]?\s*)", Case::insensitive);
  const Pattern sentenceEnd(uR"([.!?]\s+)", Case::sensitive);
  UErrorCode status = U_ZERO_ERROR;
  for (;;) {
    auto m = scratch.matcher(text);
    if (!m->find()) return text;
    const int32_t start = m->start(status);
    const int32_t end = m->end(status);
    const icu::UnicodeString before(text, 0, start);
    auto s = sentenceEnd.matcher(before);
    std::vector<int32_t> ends;
    while (s->find()) ends.push_back(s->end(status));
    int32_t cut = 0;
    if (!ends.empty()) {
      cut = ends.back();
      bool blank = true;
      for (int32_t i = cut; i < before.length(); ++i)
        blank = blank && icu_text::isHorizontalSpace(before.charAt(i));
      if (blank) cut = ends.size() >= 2 ? ends[ends.size() - 2] : 0;
    }
    text = icu::UnicodeString(text, 0, cut) + icu::UnicodeString(text, end);
  }
}

QString plainClean(const QString& input) {
  struct Step {
    Pattern pattern;
    const char16_t* with;
  };
  static const std::vector<Step> steps = [] {
    std::vector<Step> s;
    auto add = [&s](const char16_t* p, Case c, const char16_t* w) { s.push_back({Pattern(p, c), w}); };
    add(uR"(\b(um+|uh+|erm+|er|hmm+|mhm)\b[,.]?\s*)", Case::insensitive, u"");
    add(uR"(\b(no wait|wait no|actually no|or wait)\b[,.]?\s*)", Case::insensitive, u"");
    add(uR"(\b(the|a|an|is|are|was|were|to|and|or|of|in|on|at|it|that|this|my|your|i|we|you|he|she|they|so)(\s+\1\b)+)",
        Case::insensitive, u"$1");
    add(uR"([,.]?\s*\bnew paragraph\b[,.]?\s*)", Case::insensitive, u"\n\n");
    add(uR"([,.]?\s*\bnew line\b[,.]?\s*)", Case::insensitive, u"\n");
    add(uR"([ \t]+)", Case::insensitive, u" ");
    add(uR"([ \t]+([,.!?;:]))", Case::insensitive, u"$1");
    add(uR"(([,.!?;:])[,.]+)", Case::insensitive, u"$1");
    add(uR"( *\n *)", Case::insensitive, u"\n");
    add(uR"((^|\n)[,.;:]\s*)", Case::insensitive, u"$1");
    add(uR"(\bi\b)", Case::sensitive, u"I");
    return s;
  }();
  icu::UnicodeString text = plainScratchLoop(icu_text::toIcu(input));
  for (const Step& step : steps) text = step.pattern.replaceAll(text, step.with);
  text = icu_text::trimmed(text);
  const Pattern start(uR"((^|[.!?]\s+|\n)([a-z]))", Case::sensitive);
  auto m = start.matcher(text);
  std::vector<int32_t> letters;
  UErrorCode status = U_ZERO_ERROR;
  while (m->find()) letters.push_back(m->start(2, status));
  icu::UnicodeString out = text;
  for (auto it = letters.rbegin(); it != letters.rend(); ++it)
    out.setCharAt(*it, out.charAt(*it) - u'a' + u'A');
  return icu_text::fromIcu(out);
}

TEST(RulesReference, ScratchPassMatchesThePlainLoop) {
  const std::vector<QString> pieces = {
      "scratch that", "Delete that", "forget that", "word", "um", "the", "i", "new line",
      ".", "!", "?", ",", " ", " ", " ", "\n", "\t", QString(QChar(0x00A0)), "..", "x",
      QString::fromUtf16(u"\U0001F600"), "scratch", "that"};
  std::mt19937 random(20261206);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int round = 0; round < 3000; ++round) {
    QString text;
    const int n = length(random);
    for (int i = 0; i < n; ++i) text += pieces[pick(random)];
    ASSERT_EQ(Rules::clean(text), plainClean(text)) << text.toStdString();
  }
}

}  // namespace
}  // namespace talvo
