#include "cleanup/rules.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

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
        Example{u"Hmm, okay", u"Okay"},
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
        Example{u"i think i'm right", u"I think I'm right"}, Example{u"a. b! c? d", u"A. B! C? D"}));

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
        Example{u"um I love it \U0001F44D\U0001F3FD new line thanks \U0001F468\u200D\U0001F469\u200D\U0001F467",
                u"I love it \U0001F44D\U0001F3FD\nThanks \U0001F468\u200D\U0001F469\u200D\U0001F467"},
        Example{u"cafe\u0301 au lait, cre\u0300me", u"Cafe\u0301 au lait, cre\u0300me"},
        Example{u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD. \u05DE\u05D4 \u05E9\u05DC\u05D5\u05DE\u05DA?",
                u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD. \u05DE\u05D4 \u05E9\u05DC\u05D5\u05DE\u05DA?"},
        Example{u"\u0645\u0631\u062D\u0628\u0627 um \u0628\u0643", u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0643"},
        // Only ASCII a-z is capitalised.
        Example{u"\u00E9t\u00E9. \u00E0 bient\u00F4t", u"\u00E9t\u00E9. \u00E0 bient\u00F4t"},
        // A lone surrogate is carried through untouched rather than crashing anything.
        Example{u"ok \xD800 fine", u"Ok \xD800 fine"}));

TEST(RulesClean, KeepsCaseOtherwiseAndAddsNoFinalMark) {
  EXPECT_EQ(Rules::clean(QStringLiteral("hello NASA and iPhone")), "Hello NASA and iPhone");
}

TEST(RulesClean, ManyScratchCommandsStayLinear) {
  // 2,000 commands in about 100,000 characters; a quadratic cut would take seconds.
  QString text;
  for (int i = 0; i < 2000; ++i)
    text += QStringLiteral("Sentence number %1 is done. this part is wrong scratch that ").arg(i);
  text += QStringLiteral("end");
  ASSERT_GE(text.size(), 100000);
  const QString cleaned = Rules::clean(text);
  EXPECT_TRUE(cleaned.startsWith(QStringLiteral("Sentence number 0 is done. Sentence number 1 is")));
  EXPECT_TRUE(cleaned.endsWith(QStringLiteral("Sentence number 1999 is done. End")));
  EXPECT_FALSE(cleaned.contains(QStringLiteral("wrong")));
}

TEST(RulesClean, ScratchCommandsEatBackThroughEveryFinishedSentence) {
  QString text = QStringLiteral("keep me ");
  for (int i = 0; i < 500; ++i) text += QStringLiteral("Sentence %1. ").arg(i);
  for (int i = 0; i < 500; ++i) text += QStringLiteral("scratch that ");
  EXPECT_EQ(Rules::clean(text + QStringLiteral("tail")), "Tail");
}

TEST(RulesClean, SafeFromManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<QString> results(8);
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&results, t] {
      for (int i = 0; i < 50; ++i)
        results[t] = Rules::clean(QStringLiteral("um so so I went. there scratch that, i came back"));
    });
  for (auto& thread : threads) thread.join();
  for (const QString& r : results) EXPECT_EQ(r, "So I went. I came back");
}

TEST(RulesNeedsAI, DocumentedCases) {
  EXPECT_FALSE(Rules::needsAI(QStringLiteral("hello there")));
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("one two three four")));
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("like that")));
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("um")));
}

TEST(RulesNeedsAI, EachKindOfTroubleCounts) {
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("scratch that")));
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("no wait")));
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("the the")));
  EXPECT_TRUE(Rules::needsAI(QStringLiteral("I MEAN")));
  EXPECT_FALSE(Rules::needsAI(QStringLiteral("one\ntwo\tthree")));
  EXPECT_FALSE(Rules::needsAI(QString()));
  // A filler inside a word is no filler.
  EXPECT_FALSE(Rules::needsAI(QStringLiteral("umbrella drum")));
}

}  // namespace
}  // namespace talvo
