#include "dictionary/user_dictionary.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

UserDictionary withFixes(std::vector<UserDictionary::Fix> fixes, QStringList words = {}) {
  return UserDictionary{std::move(words), std::move(fixes)};
}

TEST(DictionaryApply, PhrasesMatchAcrossAnyWhiteSpace) {
  const auto dictionary = withFixes({{"new york", "New York"}});
  EXPECT_EQ(dictionary.apply("flights to new york today"), "flights to New York today");
  EXPECT_EQ(dictionary.apply("new   york"), "New York");
  EXPECT_EQ(dictionary.apply("new\nyork"), "New York");
  EXPECT_EQ(dictionary.apply("NEW YORK and new york"), "New York and New York");
}

TEST(DictionaryApply, PhrasesStandBetweenNonLettersAndNonDigits) {
  const auto dictionary = withFixes({{"sequel", "SQL"}});
  EXPECT_EQ(dictionary.apply("sequels and prequel"), "sequels and prequel");
  EXPECT_EQ(dictionary.apply("sequel, please"), "SQL, please");
  EXPECT_EQ(dictionary.apply("sequel2 2sequel"), "sequel2 2sequel");
  EXPECT_EQ(dictionary.apply(QString::fromUtf8("ésequel sequelé (sequel)")),
            QString::fromUtf8("ésequel sequelé (SQL)"));
}

TEST(DictionaryApply, WordsRestoreTheirSpelling) {
  const UserDictionary dictionary{{"Marguerite"}, {}};
  EXPECT_EQ(dictionary.apply("ask MARGUERITE"), "ask Marguerite");
  EXPECT_EQ(dictionary.apply("ask marguerite's cat"), "ask Marguerite's cat");
}

TEST(DictionaryApply, LongerPhrasesGoFirst) {
  const auto dictionary = withFixes({{"new york", "New York"}, {"new york city", "NYC"}});
  EXPECT_EQ(dictionary.apply("new york city"), "NYC");
  EXPECT_EQ(dictionary.apply("new york, new york city"), "New York, NYC");
}

TEST(DictionaryApply, LengthCountsCharactersNotCodeUnits) {
  // Five flags are ten code units each but one character each: "abcdef" (six) goes first.
  const QString flags = QString::fromUtf8("🇫🇷🇫🇷🇫🇷🇫🇷🇫🇷");
  const auto dictionary = withFixes({{flags, "flags"}, {"abcdef", flags + " abcdef"}});
  EXPECT_EQ(dictionary.apply("abcdef"), "flags abcdef");
}

TEST(DictionaryApply, EqualLengthsKeepFixesBeforeWords) {
  const UserDictionary dictionary{{"Teh"}, {{"teh", "the"}}};
  EXPECT_EQ(dictionary.apply("teh cat"), "the cat");
}

TEST(DictionaryApply, ReplacementsAreLiteral) {
  const auto dictionary = withFixes({{"price", "$1 \\0 \\n"}});
  EXPECT_EQ(dictionary.apply("the price"), "the $1 \\0 \\n");
}

TEST(DictionaryApply, MetacharactersInPhrasesMatchLiterally) {
  const QString hostile = "(a+)* [x] {2} ^$ | \\Q .*? \\E \\1 # c++";
  const auto dictionary = withFixes({{hostile, "ok"}, {"c++", "C++"}, {".*", "dots"}});
  EXPECT_EQ(dictionary.apply("say " + hostile + " now"), "say ok now");
  EXPECT_EQ(dictionary.apply("I like c++ a lot"), "I like C++ a lot");
  EXPECT_EQ(dictionary.apply("nothing here"), "nothing here");
  EXPECT_EQ(dictionary.apply("a .* b"), "a dots b");
}

TEST(DictionaryApply, BlankPhrasesChangeNothing) {
  const auto dictionary = withFixes({{"   ", "X"}, {"\t", "Y"}, {"", "Z"}});
  EXPECT_EQ(dictionary.apply("a  b\tc"), "a  b\tc");
  const UserDictionary blankWord{{" "}, {}};
  EXPECT_EQ(blankWord.apply("a b"), "a b");
}

TEST(DictionaryApply, HeardIsTrimmedMeantIsNot) {
  const auto dictionary = withFixes({{"  gonna ", " going to "}});
  EXPECT_EQ(dictionary.apply("I'm gonna go"), "I'm  going to  go");
}

TEST(DictionaryApply, HugeInputsStayCorrect) {
  const QString longHeard = QString("la ").repeated(1666) + "la";  // about 5,000 characters
  auto dictionary = withFixes({{longHeard, "song"}, {"sequel", "SQL"}});
  EXPECT_EQ(dictionary.apply("sing " + longHeard + "!"), "sing song!");
  QString text = QString("a sequel of words ").repeated(5600);  // about 100,000 characters
  const QString expected = QString("a SQL of words ").repeated(5600);
  EXPECT_EQ(dictionary.apply(text), expected);
}

TEST(DictionaryApply, ManyFixesStillApply) {
  UserDictionary dictionary;
  for (int i = 0; i < 10000; ++i) dictionary.fixes.push_back({QStringLiteral("word%1").arg(i), QStringLiteral("W%1").arg(i)});
  EXPECT_EQ(dictionary.apply("word17 and word9999"), "W17 and W9999");
}

}  // namespace
}  // namespace talvo
