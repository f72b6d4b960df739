#include "cleanup/rules.h"

#include "cleanup/icu_text.h"
#include "pipeline/records.h"

#include <algorithm>
#include <vector>

namespace talvo::Rules {
namespace {

using icu_text::Pattern;
using Case = Pattern::Case;

// Compiled once, on first use, under the thread-safe initialisation of a local static;
// afterwards only read. The critical path from key release to text runs through here,
// so no pattern is compiled per call.
struct Patterns {
  Pattern filler{uR"(\b(um+|uh+|erm+|er|hmm+|mhm)\b[,.]?\s*)", Case::insensitive};
  Pattern scratch{uR"((scratch that|delete that|forget that)[,.]?\s*)", Case::insensitive};
  Pattern correction{uR"(\b(no wait|wait no|actually no|or wait)\b[,.]?\s*)", Case::insensitive};
  Pattern repeated{
      uR"(\b(the|a|an|is|are|was|were|to|and|or|of|in|on|at|it|that|this|my|your|i|we|you|he|she|they|so)(\s+\1\b)+)",
      Case::insensitive};
  Pattern newParagraph{uR"([,.]?\s*\bnew paragraph\b[,.]?\s*)", Case::insensitive};
  Pattern newLine{uR"([,.]?\s*\bnew line\b[,.]?\s*)", Case::insensitive};
  Pattern sentenceEnd{uR"([.!?]\s+)", Case::sensitive};
  Pattern horizontalRun{uR"([ \t]+)", Case::insensitive};
  Pattern spaceBeforeMark{uR"([ \t]+([,.!?;:]))", Case::insensitive};
  Pattern doubledMark{uR"(([,.!?;:])[,.]+)", Case::insensitive};
  Pattern spacesAroundBreak{uR"( *\n *)", Case::insensitive};
  Pattern leadingMark{uR"((^|\n)[,.;:]\s*)", Case::insensitive};
  Pattern loneI{uR"(\bi\b)", Case::sensitive};
  Pattern sentenceStart{uR"((^|[.!?]\s+|\n)([a-z]))", Case::sensitive};
  Pattern hedge{uR"(\b(i mean|actually|like|you know)\b)", Case::insensitive};
};

const Patterns& patterns() {
  static const Patterns shared;
  return shared;
}

bool blankAfter(const icu::UnicodeString& text, int32_t from) {
  for (int32_t i = from; i < text.length(); ++i)
    if (!icu_text::isHorizontalSpace(text.charAt(i))) return false;
  return true;
}

// Obeys every scratch command. Each command cuts the text back to a sentence end in front
// of it, and the text behind the command is left as it was. Because the text kept in
// front of a cut ends in white space and the text behind a command starts with none, a
// cut never creates a new command or sentence end across the join. So the commands are
// exactly the matches of one left-to-right search of the original text, and the sentence
// ends of the kept text can be carried along instead of searched again: the whole pass is
// linear in the length of the text.
icu::UnicodeString obeyScratches(const icu::UnicodeString& text) {
  const Patterns& p = patterns();
  auto command = p.scratch.matcher(text);
  if (!command->find()) return text;

  auto sentence = p.sentenceEnd.matcher(text);
  icu::UnicodeString kept;
  std::vector<int32_t> ends;  // end offsets of the sentence ends in `kept`, ascending
  int32_t from = 0;           // where the text not yet copied into `kept` starts
  UErrorCode status = U_ZERO_ERROR;
  do {
    const int32_t start = command->start(status);
    const int32_t end = command->end(status);

    const int32_t base = kept.length();
    sentence->region(from, start, status);
    while (sentence->find()) ends.push_back(base + sentence->end(status) - from);
    kept.append(text, from, start - from);

    int32_t cut = 0;
    if (!ends.empty()) {
      cut = ends.back();
      if (blankAfter(kept, cut)) cut = ends.size() >= 2 ? ends[ends.size() - 2] : 0;
    }
    kept.truncate(cut);
    while (!ends.empty() && ends.back() > cut) ends.pop_back();
    from = end;
  } while (command->find());
  kept.append(text, from, text.length() - from);
  return kept;
}

icu::UnicodeString capitaliseSentenceStarts(icu::UnicodeString text) {
  auto m = patterns().sentenceStart.matcher(text);
  std::vector<int32_t> letters;
  UErrorCode status = U_ZERO_ERROR;
  while (m->find()) letters.push_back(m->start(2, status));
  // Back to front, as the rewrite is defined; the length never changes either way.
  std::for_each(letters.rbegin(), letters.rend(), [&text](int32_t at) {
    text.setCharAt(at, static_cast<char16_t>(text.charAt(at) - u'a' + u'A'));
  });
  return text;
}

}  // namespace

QString clean(const QString& input) {
  if (input.isEmpty()) return {};
  const Patterns& p = patterns();
  icu::UnicodeString text = obeyScratches(icu_text::toIcu(input));
  text = p.filler.replaceAll(text, u"");
  text = p.correction.replaceAll(text, u"");
  text = p.repeated.replaceAll(text, u"$1");
  text = p.newParagraph.replaceAll(text, u"\n\n");
  text = p.newLine.replaceAll(text, u"\n");
  text = p.horizontalRun.replaceAll(text, u" ");
  text = p.spaceBeforeMark.replaceAll(text, u"$1");
  text = p.doubledMark.replaceAll(text, u"$1");
  text = p.spacesAroundBreak.replaceAll(text, u"\n");
  text = p.leadingMark.replaceAll(text, u"$1");
  text = p.loneI.replaceAll(text, u"I");
  text = capitaliseSentenceStarts(icu_text::trimmed(text));
  return icu_text::fromIcu(text);
}

bool needsAI(const QString& input) {
  const Patterns& p = patterns();
  const icu::UnicodeString text = icu_text::toIcu(input);
  for (const Pattern* pattern : {&p.filler, &p.scratch, &p.correction, &p.repeated, &p.hedge})
    if (pattern->found(text)) return true;
  return wordCount(input) > 3;
}

}  // namespace talvo::Rules
