#include "cleanup/local_model_cleaner.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

std::optional<QString> accept(const char16_t* raw, const char16_t* output) {
  return LocalModelCleaner::accept(QString::fromUtf16(raw), QString::fromUtf16(output));
}

TEST(AcceptAnswer, LabelsGoOnceEachInOrder) {
  const char16_t* raw = u"um hello there how are you";
  EXPECT_EQ(accept(raw, u"  Cleaned text: Hello there, how are you?\n"), "Hello there, how are you?");
  EXPECT_EQ(accept(raw, u"HERE IS THE CLEANED TEXT:\nhello there how are you"), "hello there how are you");
  EXPECT_EQ(accept(raw, u"Cleaned: Output: hello there how are you"), "hello there how are you");
  // "Cleaned:" was already tested when "Output:" went, so it stays.
  EXPECT_EQ(accept(raw, u"Output: Cleaned: hello there how are you"), "Cleaned: hello there how are you");
}

TEST(AcceptAnswer, OnePairOfEnclosingQuotesGoes) {
  const char16_t* raw = u"hello there friend";
  EXPECT_EQ(accept(raw, u"\"Hello there, friend.\""), "Hello there, friend.");
  EXPECT_EQ(accept(raw, u"\u201CHello there, friend.\u201D"), "Hello there, friend.");
  EXPECT_EQ(accept(raw, u"\"\"Hello there friend\"\""), "\"Hello there friend\"");
  EXPECT_EQ(accept(raw, u"\u201CHello there friend\""), "\u201CHello there friend\"");
  EXPECT_EQ(accept(raw, u"\u201DHello there friend\u201C"), "\u201DHello there friend\u201C");
}

TEST(AcceptAnswer, EmptyOrWordlessAnswersAreRejected) {
  EXPECT_EQ(accept(u"hello there", u""), std::nullopt);
  EXPECT_EQ(accept(u"hello there", u" \n "), std::nullopt);
  EXPECT_EQ(accept(u"hello there", u"Output:"), std::nullopt);
  EXPECT_EQ(accept(u"hello there", u"\"\""), std::nullopt);
  EXPECT_EQ(accept(u"hello there", u"... !!"), std::nullopt);
}

TEST(AcceptAnswer, LengthLimitsIncludeTheirBounds) {
  const char16_t* ten = u"a b c d e f g h i j";
  // 1.4 x 10 + 3 = 17 words pass, 18 do not.
  EXPECT_TRUE(accept(ten, u"a b c d e f g h i j a b c d e f g"));
  EXPECT_FALSE(accept(ten, u"a b c d e f g h i j a b c d e f g h"));
  // 0.35 x 10 = 3.5: four words pass, three do not.
  EXPECT_TRUE(accept(ten, u"a b c d"));
  EXPECT_FALSE(accept(ten, u"a b c"));
  EXPECT_FALSE(accept(u"one two three four five six seven eight nine ten", u"One."));
  // Under four raw words there is no length check, only the overlap.
  EXPECT_TRUE(accept(u"hi", u"hi hi hi hi hi hi hi hi"));
}

TEST(AcceptAnswer, ShortAnswersMayHoldTwoNewWords) {
  const char16_t* raw = u"meet at noon";
  EXPECT_TRUE(accept(raw, u"Meet me at noon, ok"));
  EXPECT_FALSE(accept(raw, u"Meet him there at twelve"));
}

TEST(AcceptAnswer, LongAnswersKeepSeventyPercentOfTheSpeakersWords) {
  const char16_t* raw = u"we should ship the build on friday after the review";
  // 7 of 10 kept passes; 6 of 10 does not.
  EXPECT_TRUE(accept(raw, u"We should ship the build on Friday, pending sign-off"));
  EXPECT_FALSE(accept(raw, u"We should ship it Friday, pending final sign-off today"));
}

TEST(AcceptAnswer, WordsAreLettersMarksDigitsAndApostrophes) {
  EXPECT_TRUE(accept(u"don't go cafe\u0301 2nd", u"Don't go, CAFE\u0301, 2nd!"));
  // Letters outside the BMP are letters too.
  EXPECT_TRUE(accept(u"\U0001D400bc \U0001D401cd", u"\U0001D400bc; \U0001D401cd."));
  EXPECT_FALSE(accept(u"hi there", u"hi \u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD \u05DE\u05D4"));
}

}  // namespace
}  // namespace talvo
