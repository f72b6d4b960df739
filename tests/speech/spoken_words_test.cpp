#include "speech/spoken_words.h"
#include "speech/transcript_collector.h"

#include <gtest/gtest.h>

namespace talvo::speech {
namespace {

SpokenWord w(const char* text, std::optional<double> confidence, bool unsure = false) {
  return SpokenWord{QString::fromUtf8(text), confidence, unsure};
}

TEST(SpokenWords, WordsSpanRunsAndSplitOnlyAtWhiteSpace) {
  EXPECT_EQ(wordsFrom({{"Hel", 0.9}, {"lo wor", 0.4}, {"ld", std::nullopt}}),
            (std::vector<SpokenWord>{w("Hello", 0.4, true), w("world", 0.4, true)}));
  EXPECT_EQ(wordsFrom({{"  hi  there ", std::nullopt}, {"\nyou", std::nullopt}}),
            (std::vector<SpokenWord>{w("hi", std::nullopt), w("there", std::nullopt),
                                     w("you", std::nullopt)}));
  EXPECT_TRUE(wordsFrom({}).empty());
  EXPECT_EQ(wordsFrom({{"edge", 0.55}}),
            (std::vector<SpokenWord>{w("edge", 0.55)}));  // at the threshold: sure
}

struct FlagCase {
  std::vector<SpokenWord> words;
  std::vector<bool> unsure;
};

const FlagCase flagCases[] = {
    {{w("the", 0.1), w("cat", 0.3), w("sat", 0.2)}, {false, true, false}},  // common first, last
    {{w("send", 0.9), w("the", 0.1), w("file", 0.9)}, {false, true, false}},
    {{w("send", 0.9), w("the", 0.2), w("file", 0.9)}, {false, false, false}},
    {{w("Okay,", 0.2), w("go", 0.9)}, {false, false}},  // key trimmed of punctuation
    {{w("zebra", 0.01)}, {false}},
    {{w("cat", 0.55), w("cat", 0.5499), w("x", 0.1)}, {false, true, false}},
    {{w("zebra", 0.3), w("go", 0.9)}, {true, false}},  // an uncommon first word on confidence
    // Stale marks are cleared, words without confidence are never unsure.
    {{w("cat", std::nullopt, true), w("dog", 0.9, true), w("x", 0.1, true)}, {false, false, false}},
};

class Flag : public ::testing::TestWithParam<FlagCase> {};

TEST_P(Flag, MarksDoubtfulWords) {
  std::vector<bool> unsure;
  for (const SpokenWord& word : flag(GetParam().words)) unsure.push_back(word.unsure);
  EXPECT_EQ(unsure, GetParam().unsure);
}

INSTANTIATE_TEST_SUITE_P(SpokenWords, Flag, ::testing::ValuesIn(flagCases));

TEST(SpokenWords, CommonWordKeysAreLowerCasedAndTrimmedOfPunctuation) {
  EXPECT_EQ(commonKey("«It's»"), "it's");
  EXPECT_EQ(commonKey("...I'm!"), "i'm");
  EXPECT_TRUE(isCommonWord("it's"));
  EXPECT_FALSE(isCommonWord("it\u2019s"));  // only the ASCII apostrophe
}

TEST(TranscriptCollector, BiasTermsStopAtTheCap) {
  QStringList terms;
  for (int i = 0; i <= maxBiasTerms; ++i) terms << QString::number(i);
  EXPECT_EQ(biasTerms(terms), terms.first(maxBiasTerms));
}

TEST(TranscriptCollector, FinalTextsAreTrimmedOfSpacesAndJoined) {
  EXPECT_EQ(joinFinalTexts({"Hello there. ", " How are you", "   ", "\tline\n\t"}),
            "Hello there. How are you line\n");
}

TEST(TranscriptCollector, VolatileGuessIsReplacedByTheFinalResult) {
  TranscriptCollector collector;
  EXPECT_EQ(collector.addVolatile({{"helo wold ", std::nullopt}}).size(), 2u);
  auto live = collector.addFinal({{"hello ", 0.9}, {"world ", 0.3}});
  ASSERT_EQ(live.size(), 2u);
  EXPECT_FALSE(live[1].unsure);  // last word
  live = collector.addVolatile({{"again ", std::nullopt}});
  ASSERT_EQ(live.size(), 3u);
  EXPECT_TRUE(live[1].unsure);  // "world" is no longer last
  collector.addFinal({});
  EXPECT_EQ(collector.transcript(), "hello world");
  EXPECT_EQ(collector.finalWords().size(), 2u);
}

}  // namespace
}  // namespace talvo::speech
