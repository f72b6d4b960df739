#include "cleanup/icu_text.h"
#include "cleanup/rules.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

namespace talvo {
namespace {

struct Example {
  const char16_t* in;
  const char16_t* out;
};

void PrintTo(const Example& e, std::ostream* os) { *os << QString::fromUtf16(e.in).toStdString(); }

class CleanExamples : public ::testing::TestWithParam<Example> {};

TEST_P(CleanExamples, GivesTheDocumentedText) {
  EXPECT_EQ(Rules::clean(QString::fromUtf16(GetParam().in)), QString::fromUtf16(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(
    Documented, CleanExamples,
    ::testing::Values(
        Example{u"", u""}, Example{u"um", u""}, Example{u"um so I went there", u"So I went there"},
        Example{u"Hmm, okay", u"Okay"}, Example{u"er, okay", u"Okay"},
        Example{u"buy milk scratch that buy eggs", u"Buy eggs"},
        Example{u"I like apples. I like pears scratch that bananas.", u"I like apples. Bananas."},
        Example{u"I like apples. Scratch that. I like pears.", u"I like pears."},
        Example{u"one. two. three. scratch that", u"One. Two."},
        Example{u"send it to the office no wait to the lab", u"Send it to the office to the lab"},
        Example{u"the the cat sat", u"The cat sat"}, Example{u"so so so cool", u"So cool"},
        Example{u"The the cat", u"The cat"},
        Example{u"first line new line second line", u"First line\nSecond line"},
        Example{u"first, new line, second", u"First\nSecond"},
        Example{u"dear team new paragraph thanks", u"Dear team\n\nThanks"},
        Example{u"hello , world", u"Hello, world"}, Example{u"hello.. world", u"Hello. World"},
        Example{u"i think i'm right", u"I think I'm right"}, Example{u"a. b! c? d", u"A. B! C? D"},
        // No other case changes, no final mark added.
        Example{u"hello NASA and iPhone", u"Hello NASA and iPhone"}));

// Where a mistake in the cut or the step order is likely.
INSTANTIATE_TEST_SUITE_P(
    Scratch, CleanExamples,
    ::testing::Values(
        // Two commands in a row eat two finished sentences.
        Example{u"One. Two. Three. scratch that scratch that four", u"One. Four"},
        Example{u"delete that", u""}, Example{u"Forget that, hello", u"Hello"},
        // The phrase needs no word boundary in front.
        Example{u"keep. foo xscratch that bar", u"Keep. Bar"},
        // A line break is a sentence end's white space, but not "horizontal".
        Example{u"One.\nTwo scratch that three", u"One.\nThree"},
        Example{u"One. Two.\u00A0 scratch that three", u"One. Three"},
        // Offsets are UTF-16 units: a character outside the BMP in front must not shift the cut.
        Example{u"\U0001F600 ok. bad idea scratch that good", u"\U0001F600 ok. Good"}));

INSTANTIATE_TEST_SUITE_P(
    Foreign, CleanExamples,
    ::testing::Values(
        Example{
            u"um I love it \U0001F44D\U0001F3FD new line thanks "
            u"\U0001F468\u200D\U0001F469\u200D\U0001F467",
            u"I love it \U0001F44D\U0001F3FD\nThanks \U0001F468\u200D\U0001F469\u200D\U0001F467"},
        Example{u"cafe\u0301 au lait, cre\u0300me", u"Cafe\u0301 au lait, cre\u0300me"},
        Example{u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD. \u05DE\u05D4 "
                u"\u05E9\u05DC\u05D5\u05DE\u05DA?",
                u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD. \u05DE\u05D4 "
                u"\u05E9\u05DC\u05D5\u05DE\u05DA?"},
        Example{u"\u0645\u0631\u062D\u0628\u0627 um \u0628\u0643",
                u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0643"},
        // Only ASCII a-z is capitalised.
        Example{u"\u00E9t\u00E9. \u00E0 bient\u00F4t", u"\u00E9t\u00E9. \u00E0 bient\u00F4t"},
        // A lone surrogate is carried through untouched rather than crashing anything.
        Example{u"ok \xD800 fine", u"Ok \xD800 fine"}));

// The scratch commands as the rules state them: find the first command, cut back to the
// sentence end the rules choose, search the whole text again.
QString scratchesOneByOne(const QString& input) {
  using icu_text::Pattern;
  const Pattern scratch(uR"((scratch that|delete that|forget that)[,.]?\s*)",
                        Pattern::Case::insensitive);
  const Pattern sentenceEnd(uR"([.!?]\s+)", Pattern::Case::sensitive);
  icu::UnicodeString text = icu_text::toIcu(input);
  UErrorCode status = U_ZERO_ERROR;
  for (auto m = scratch.matcher(text); m->find(); m = scratch.matcher(text)) {
    const icu::UnicodeString before(text, 0, m->start(status));
    std::vector<int32_t> ends{0, 0};
    for (auto s = sentenceEnd.matcher(before); s->find();) ends.push_back(s->end(status));
    bool blank = true;
    for (int32_t i = ends.back(); i < before.length(); ++i)
      blank = blank && icu_text::isHorizontalSpace(before[i]);
    const int32_t cut = blank ? ends[ends.size() - 2] : ends.back();
    text = icu::UnicodeString(text, 0, cut) + icu::UnicodeString(text, m->end(status));
  }
  return icu_text::fromIcu(text);
}

// The scratch pass is done in one sweep, without searching again after each cut; random
// texts dense with commands and sentence ends must come out as from the plain loop.
TEST(RulesClean, ScratchSweepMatchesThePlainLoop) {
  const std::vector<QString> pieces = {"scratch that",
                                       "Delete that",
                                       "forget that",
                                       "word",
                                       "um",
                                       "the",
                                       "i",
                                       "new line",
                                       ".",
                                       "!",
                                       "?",
                                       ",",
                                       " ",
                                       " ",
                                       " ",
                                       "\n",
                                       "\t",
                                       QString(QChar(0x00A0)),
                                       "..",
                                       "x",
                                       QString::fromUtf16(u"\U0001F600"),
                                       "scratch",
                                       "that"};
  std::mt19937 random(20261206);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int round = 0; round < 3000; ++round) {
    QString text;
    for (int i = length(random); i > 0; --i) text += pieces[pick(random)];
    // Once no command is left the sweep changes nothing, so only the cuts are compared.
    ASSERT_EQ(Rules::clean(text), Rules::clean(scratchesOneByOne(text))) << text.toStdString();
  }
}

TEST(RulesClean, SafeFromManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<QString> results(8);
  threads.reserve(results.size());
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&results, t] {
      for (int i = 0; i < 50; ++i)
        results[t] =
            Rules::clean(QStringLiteral("um so so I went. there scratch that, i came back"));
    });
  for (auto& thread : threads) thread.join();
  for (const QString& r : results) EXPECT_EQ(r, "So I went. I came back");
}

TEST(RulesNeedsAI, TroubleOrMoreThanThreeWords) {
  const std::pair<const char*, bool> cases[] = {
      {"hello there", false},     {"one two three four", true},
      {"like that", true},        {"um", true},
      {"scratch that", true},     {"no wait", true},
      {"the the", true},          {"I MEAN", true},
      {"one\ntwo\tthree", false}, {"", false},
      {"umbrella drum", false}};  // a filler inside a word is none
  for (const auto& [text, needed] : cases)
    EXPECT_EQ(Rules::needsAI(QString::fromUtf8(text)), needed) << text;
}

}  // namespace
}  // namespace talvo
