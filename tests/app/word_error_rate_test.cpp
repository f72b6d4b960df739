#include "replay/word_error_rate.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(WordErrorRate, EditDistanceOverReferenceWords) {
  const std::tuple<const char*, const char*, double> cases[] = {
      {"Hello, world!", "hello world", 0.0},  // case and punctuation do not count
      {"it's here", "its here", 0.5},
      {"", "", 0.0},
      {"", "anything", 1.0},
      {" ... ", "!!", 0.0},
      {"one two", "", 1.0},
      {"a b c d", "a x c d", 0.25},  // substitution
      {"a b c d", "a c d", 0.25},    // deletion
      {"a b", "a b c d e f", 2.0},   // can exceed 1
      {"the cat sat", "sat the cat", 2.0 / 3.0},
  };
  for (const auto& [reference, hypothesis, rate] : cases)
    EXPECT_DOUBLE_EQ(wordErrorRate(reference, hypothesis), rate)
        << reference << " / " << hypothesis;
}

TEST(WordErrorRate, WordsKeepApostrophesMarksAndDigits) {
  EXPECT_EQ(normalizedWords("Don't STOP—now"), (QStringList{"don't", "stop", "now"}));
  EXPECT_EQ(normalizedWords(QString::fromUtf8(
                "Caf\u0065\u0301 n\u00ba 42 \u05e9\u05dc\u05d5\u05dd \U0001F3A4")),
            (QStringList{QString::fromUtf8("caf\u0065\u0301"), QString::fromUtf8("n\u00ba"), "42",
                         QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd")}));
}

}  // namespace
}  // namespace talvo
