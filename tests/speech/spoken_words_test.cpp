#include "speech/spoken_words.h"
#include "speech/transcript_collector.h"

#include <gtest/gtest.h>

namespace talvo::speech {
namespace {

SpokenWord w(const char* text, std::optional<double> confidence) {
  return SpokenWord{QString::fromUtf8(text), confidence, false};
}

std::vector<bool> unsureOf(const std::vector<SpokenWord>& words) {
  std::vector<bool> out;
  for (const auto& word : words) out.push_back(word.unsure);
  return out;
}

TEST(SpokenWords, ConstructionMarksLowConfidenceStrictly) {
  EXPECT_TRUE(spokenWord("x", 0.54).unsure);
  EXPECT_FALSE(spokenWord("x", 0.55).unsure);
  EXPECT_FALSE(spokenWord("x", std::nullopt).unsure);
  setUnsureBelow(0.9);
  EXPECT_TRUE(spokenWord("x", 0.8).unsure);
  setUnsureBelow(0.55);
}

TEST(SpokenWords, WordSpanningRunsKeepsTheLowestConfidence) {
  const auto words = wordsFrom({{"Hel", 0.9}, {"lo wor", 0.4}, {"ld", std::nullopt}});
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].text, "Hello");
  EXPECT_EQ(words[0].confidence, 0.4);
  EXPECT_EQ(words[1].text, "world");
  EXPECT_EQ(words[1].confidence, 0.4);
}

TEST(SpokenWords, WhiteSpaceOnlySeparatesAndLineBreaksCount) {
  const auto words = wordsFrom({{"  hi  there ", std::nullopt}, {"\nyou", std::nullopt}});
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0], (SpokenWord{"hi", std::nullopt, false}));
  EXPECT_EQ(words[1].text, "there");
  EXPECT_EQ(words[2].text, "you");
  EXPECT_TRUE(wordsFrom({}).empty());
}

TEST(SpokenWords, FlagSparesCommonFirstWordsAndTheLastWord) {
  EXPECT_EQ(unsureOf(flag({w("the", 0.1), w("cat", 0.3), w("sat", 0.2)})),
            (std::vector<bool>{false, true, false}));
  EXPECT_EQ(unsureOf(flag({w("send", 0.9), w("the", 0.1), w("file", 0.9)})),
            (std::vector<bool>{false, true, false}));
  EXPECT_EQ(unsureOf(flag({w("send", 0.9), w("the", 0.2), w("file", 0.9)})),
            (std::vector<bool>{false, false, false}));
  EXPECT_EQ(unsureOf(flag({w("Okay,", 0.2), w("go", 0.9)})), (std::vector<bool>{false, false}));
  EXPECT_EQ(unsureOf(flag({w("zebra", 0.01)})), (std::vector<bool>{false}));
  EXPECT_EQ(unsureOf(flag({w("cat", 0.55), w("cat", 0.5499), w("x", 0.1)})),
            (std::vector<bool>{false, true, false}));
  // A first word that is not common is judged on its confidence alone.
  EXPECT_EQ(unsureOf(flag({w("zebra", 0.3), w("go", 0.9)})), (std::vector<bool>{true, false}));
}

TEST(SpokenWords, FlagClearsStaleMarksAndIgnoresWordsWithoutConfidence) {
  std::vector<SpokenWord> words{{"cat", std::nullopt, true}, {"dog", 0.9, true}, {"x", 0.1, true}};
  EXPECT_EQ(unsureOf(flag(words)), (std::vector<bool>{false, false, false}));
}

TEST(SpokenWords, CommonWordKeysAreLowerCasedAndTrimmedOfPunctuation) {
  EXPECT_EQ(commonKey("«It's»"), "it's");
  EXPECT_EQ(commonKey("...I'm!"), "i'm");
  EXPECT_TRUE(isCommonWord("it's"));
  EXPECT_FALSE(isCommonWord("it\u2019s"));  // only the ASCII apostrophe
  for (const char* word : {"a", "going", "ok", "okay", "um", "should", "us"})
    EXPECT_TRUE(isCommonWord(word)) << word;
  EXPECT_FALSE(isCommonWord("cat"));
}

TEST(TranscriptCollector, FinalTextsAreTrimmedAndJoined) {
  EXPECT_EQ(joinFinalTexts({"Hello there. ", " How are you"}), "Hello there. How are you");
  EXPECT_EQ(joinFinalTexts({"   ", "\tone\t", ""}), "one");
  EXPECT_EQ(joinFinalTexts({"line\n"}), "line\n");  // line breaks are not trimmed
}

TEST(TranscriptCollector, VolatileGuessIsReplacedByTheFinalResult) {
  TranscriptCollector collector;
  auto live = collector.addVolatile({{"helo wold ", std::nullopt}});
  EXPECT_EQ(live.size(), 2u);
  live = collector.addFinal({{"hello ", 0.9}, {"world ", 0.3}});
  ASSERT_EQ(live.size(), 2u);
  EXPECT_EQ(live[0].text, "hello");
  EXPECT_FALSE(live[1].unsure);  // last word
  live = collector.addVolatile({{"again ", std::nullopt}});
  ASSERT_EQ(live.size(), 3u);
  EXPECT_TRUE(live[1].unsure);  // "world" is no longer last
  collector.addFinal({});
  EXPECT_EQ(collector.transcript(), "hello world");
  EXPECT_EQ(collector.finalWords().size(), 2u);
}

TEST(TranscriptCollector, OnlyTheFirstHundredTermsBias) {
  QStringList terms;
  for (int i = 0; i < 150; ++i) terms << QString::number(i);
  const QStringList kept = biasTerms(terms);
  ASSERT_EQ(kept.size(), 100);
  EXPECT_EQ(kept.back(), "99");
  EXPECT_TRUE(biasTerms({}).isEmpty());
}

}  // namespace
}  // namespace talvo::speech
