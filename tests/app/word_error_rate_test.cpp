#include "replay/word_error_rate.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(WordErrorRate, CaseAndPunctuationDoNotCount) {
  EXPECT_DOUBLE_EQ(wordErrorRate("Hello, world!", "hello world"), 0.0);
  EXPECT_DOUBLE_EQ(wordErrorRate("it's here", "its here"), 0.5);
  EXPECT_EQ(normalizedWords("Don't STOP—now"), (QStringList{"don't", "stop", "now"}));
}

TEST(WordErrorRate, EmptyReferences) {
  EXPECT_DOUBLE_EQ(wordErrorRate("", ""), 0.0);
  EXPECT_DOUBLE_EQ(wordErrorRate("", "anything"), 1.0);
  EXPECT_DOUBLE_EQ(wordErrorRate(" ... ", "!!"), 0.0);
  EXPECT_DOUBLE_EQ(wordErrorRate("one two", ""), 1.0);
}

TEST(WordErrorRate, EditDistanceOverReferenceLength) {
  EXPECT_DOUBLE_EQ(wordErrorRate("a b c d", "a x c d"), 0.25);    // substitution
  EXPECT_DOUBLE_EQ(wordErrorRate("a b c d", "a c d"), 0.25);      // deletion
  EXPECT_DOUBLE_EQ(wordErrorRate("a b", "a b c d e f"), 2.0);     // can exceed 1
  EXPECT_DOUBLE_EQ(wordErrorRate("the cat sat", "sat the cat"), 2.0 / 3.0);
}

TEST(WordErrorRate, UnicodeWordsKeepMarksAndDigits) {
  EXPECT_EQ(normalizedWords(QString::fromUtf8("Caf\u0065\u0301 n\u00ba 42 \u05e9\u05dc\u05d5\u05dd \U0001F3A4")),
            (QStringList{QString::fromUtf8("caf\u0065\u0301"), QString::fromUtf8("n\u00ba"), "42",
                         QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd")}));
}

}  // namespace
}  // namespace talvo
