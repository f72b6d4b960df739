#include "dictionary/user_dictionary.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

struct Case {
  const char* name;
  UserDictionary dictionary;
  QString text;
  QString expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
std::string nameOf(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

UserDictionary fixes(std::vector<UserDictionary::Fix> list) { return {{}, std::move(list)}; }
UserDictionary fix(const QString& heard, const QString& meant) { return {{}, {{heard, meant}}}; }

class FirstPass : public ::testing::TestWithParam<Case> {};

TEST_P(FirstPass, RewritesWhatWasSaid) {
  EXPECT_EQ(GetParam().dictionary.apply(GetParam().text), GetParam().expected);
}

const QString kFlags = QString::fromUtf8("🇫🇷🇫🇷🇫🇷🇫🇷🇫🇷");
const QString kHostile = R"((a+)* [x] {2} ^$ | \Q .*? \E \1 # c++)";

INSTANTIATE_TEST_SUITE_P(
    Table, FirstPass,
    ::testing::Values(
        Case{"phraseAcrossAnyWhiteSpace", fix("new york", "New York"),
             "to new york, new   york, new\nyork, NEW YORK",
             "to New York, New York, New York, New York"},
        Case{"phraseBetweenNonLettersNonDigits", fix("sequel", "SQL"),
             QString::fromUtf8("sequels prequel sequel2 2sequel ésequel sequelé (sequel) sequel,"),
             QString::fromUtf8("sequels prequel sequel2 2sequel ésequel sequelé (SQL) SQL,")},
        Case{"wordRestoresItsSpelling",
             {{"Marguerite"}, {}},
             "ask MARGUERITE about marguerite's cat",
             "ask Marguerite about Marguerite's cat"},
        Case{"longerPhraseFirst", fixes({{"new york", "New York"}, {"new york city", "NYC"}}),
             "new york, new york city", "New York, NYC"},
        // Five flags are ten code units each but one character each: "abcdef" goes first.
        Case{"lengthInCharacters", fixes({{kFlags, "flags"}, {"abcdef", kFlags + " abcdef"}}),
             "abcdef", "flags abcdef"},
        Case{"equalLengthFixBeforeWord", {{"Teh"}, {{"teh", "the"}}}, "teh cat", "the cat"},
        Case{"meantIsLiteral", fix("price", "$1 \\0 \\n"), "the price", "the $1 \\0 \\n"},
        Case{"heardIsLiteral", fixes({{kHostile, "ok"}, {"c++", "C++"}, {".*", "dots"}}),
             "say " + kHostile + " now, I like c++, a .* b, nothing",
             "say ok now, I like C++, a dots b, nothing"},
        Case{"blankHeardChangesNothing",
             {{" "}, {{"   ", "X"}, {"\t", "Y"}, {"", "Z"}}},
             "a  b\tc",
             "a  b\tc"},
        Case{"heardTrimmedMeantNot", fix("  gonna ", " going to "), "I'm gonna go",
             "I'm  going to  go"},
        // Matching is by full case folding, also for the quick test of whether a phrase occurs.
        Case{"foldSharpS", fix(QString::fromUtf8("straße"), "<>"), "STRASSE", "<>"},
        Case{"foldLigature", fix(QString::fromUtf8("ﬁne"), "<>"), "FINE", "<>"},
        Case{"foldKelvinSign", fix("Kelvin", "<>"), QString::fromUtf8("\u212AELVIN"), "<>"},
        Case{"foldFinalSigma", fix(QString::fromUtf8("ΣΟΦΟΣ"), "<>"), QString::fromUtf8("σοφοσ"),
             "<>"},
        Case{"foldIotaSubscript", fix(QString::fromUtf8("ᾳ"), "<>"), QString::fromUtf8("ΑΙ"), "<>"},
        Case{"accentsDiffer", fix(QString::fromUtf8("σοφός"), "<>"), QString::fromUtf8("ΣΟΦΟΣ"),
             QString::fromUtf8("ΣΟΦΟΣ")},
        Case{"dottedCapitalIDiffers", fix(QString::fromUtf8("İstanbul"), "<>"), "istanbul",
             "istanbul"}),
    nameOf);

class SecondPass : public ::testing::TestWithParam<Case> {};

TEST_P(SecondPass, RestoresAndFixesWithoutDoubling) {
  EXPECT_EQ(GetParam().dictionary.applyAfterCleanup(GetParam().text), GetParam().expected);
}

const UserDictionary kPeace = fix("world", "world peace");

INSTANTIATE_TEST_SUITE_P(
    Table, SecondPass,
    ::testing::Values(
        Case{"fixNeverDoubles", kPeace, "Hello world peace.", "Hello world peace."},
        Case{"meantInAnyCaseCounts", kPeace, "World  peace now", "World  peace now"},
        Case{"reintroducedHeardIsFixed", kPeace, "world peace and world.",
             "world peace and world peace."},
        Case{"otherFixesToo", fix("sequel", "SQL"), "A sequel query", "A SQL query"},
        Case{"spellingsRestored", {{"Marguerite"}, {}}, "Ask marguerite.", "Ask Marguerite."},
        Case{"caseOnlyFixRestores", fix("world", "World"), "hello world", "hello World"},
        Case{"controlsGoLayoutStays",
             {},
             QString::fromUtf16(u"a\x1B[2Jb\r\nc\td\x7F\u0085\u009B"),
             "a[2Jb\nc\td"},
        Case{"meantAddsNoControls", fix("sig", "Best\nBob\x07"), "sig", "Best Bob"}),
    nameOf);

TEST(DictionaryApply, HugeInputsStayCorrect) {
  const QString longHeard = QString("la ").repeated(1666) + "la";  // about 5,000 characters
  const auto dictionary = fixes({{longHeard, "song"}, {"sequel", "SQL"}});
  EXPECT_EQ(dictionary.apply("sing " + longHeard + "!"), "sing song!");
  const QString text = QString("a sequel of words ").repeated(5600);  // about 100,000 characters
  EXPECT_EQ(dictionary.apply(text), QString("a SQL of words ").repeated(5600));
  EXPECT_EQ(dictionary.applyAfterCleanup(text), QString("a SQL of words ").repeated(5600));
}

TEST(DictionaryApply, ManyFixesStillApply) {
  UserDictionary dictionary;
  for (int i = 0; i < 10000; ++i)
    dictionary.fixes.push_back({QStringLiteral("word%1").arg(i), QStringLiteral("W%1").arg(i)});
  EXPECT_EQ(dictionary.apply("word17 and word9999"), "W17 and W9999");
}

}  // namespace
}  // namespace talvo
