#include "cleanup/answer_check.h"
#include "cleanup/local_model_cleaner.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

struct Answer {
  const char16_t* raw;
  const char16_t* output;
  const char16_t* accepted;  // nullptr: rejected
};

void PrintTo(const Answer& a, std::ostream* os) {
  *os << QString::fromUtf16(a.output).toStdString();
}

class AcceptAnswer : public ::testing::TestWithParam<Answer> {};

TEST_P(AcceptAnswer, KeepsOnlyTrustworthyAnswers) {
  const Answer& a = GetParam();
  const auto expected = a.accepted ? std::optional(QString::fromUtf16(a.accepted)) : std::nullopt;
  EXPECT_EQ(LocalModelCleaner::accept(QString::fromUtf16(a.raw), QString::fromUtf16(a.output)),
            expected);
}

constexpr const char16_t* kHello = u"um hello there how are you";
constexpr const char16_t* kTen = u"a b c d e f g h i j";
constexpr const char16_t* kLong = u"we should ship the build on friday after the review";

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptAnswer,
    ::testing::Values(
        // Labels go, once each and in their order.
        Answer{kHello, u"  Cleaned text: Hello there, how are you?\n",
               u"Hello there, how are you?"},
        Answer{kHello, u"HERE IS THE CLEANED TEXT:\nhello there how are you",
               u"hello there how are you"},
        Answer{kHello, u"Cleaned: Output: hello there how are you", u"hello there how are you"},
        Answer{kHello, u"Output: Cleaned: hello there how are you",
               u"Cleaned: hello there how are you"},
        // One pair of enclosing quotes goes, straight or curly, never mismatched ones.
        Answer{u"hello there friend", u"\"Hello there, friend.\"", u"Hello there, friend."},
        Answer{u"hello there friend", u"\u201CHello there, friend.\u201D", u"Hello there, friend."},
        Answer{u"hello there friend", u"\"\"Hello there friend\"\"", u"\"Hello there friend\""},
        Answer{u"hello there friend", u"\u201CHello there friend\"", u"\u201CHello there friend\""},
        Answer{u"hello there friend", u"\u201DHello there friend\u201C",
               u"\u201DHello there friend\u201C"},
        // Nothing left, or no words.
        Answer{u"hello there", u"", nullptr}, Answer{u"hello there", u" \n ", nullptr},
        Answer{u"hello there", u"Output:", nullptr}, Answer{u"hello there", u"\"\"", nullptr},
        Answer{u"hello there", u"... !!", nullptr},
        // 1.4 x 10 + 3 = 17 words pass, 18 do not; 0.35 x 10 = 3.5: four pass, three do not.
        Answer{kTen, u"a b c d e f g h i j a b c d e f g", u"a b c d e f g h i j a b c d e f g"},
        Answer{kTen, u"a b c d e f g h i j a b c d e f g h", nullptr},
        Answer{kTen, u"a b c d", u"a b c d"}, Answer{kTen, u"a b c", nullptr},
        Answer{kHello, u"Sure! Here is a much longer answer that goes on about things nobody said",
               nullptr},
        // Under four raw words there is no length check, only the overlap; at four, 1.4 x 4 + 3
        // = 8.6.
        Answer{u"hi", u"hi hi hi hi hi hi hi hi", u"hi hi hi hi hi hi hi hi"},
        Answer{u"a b c d", u"a b c d a b c d a", nullptr},
        // Up to five answer words, two may be new; past that 70% must be the speaker's.
        Answer{u"meet at noon", u"Meet me at noon, ok", u"Meet me at noon, ok"},
        Answer{u"meet at noon", u"Meet him there at twelve", nullptr},
        Answer{kLong, u"We should ship the build on Friday, pending sign-off",
               u"We should ship the build on Friday, pending sign-off"},
        Answer{kLong, u"We should ship it Friday, pending final sign-off today", nullptr},
        // Words are letters (also outside the BMP), marks, digits and apostrophes.
        Answer{u"don't go cafe\u0301 2nd", u"Don't go, CAFE\u0301, 2nd!",
               u"Don't go, CAFE\u0301, 2nd!"},
        Answer{u"\U0001D400bc \U0001D401cd", u"\U0001D400bc; \U0001D401cd.",
               u"\U0001D400bc; \U0001D401cd."},
        Answer{u"hi there", u"hi \u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD \u05DE\u05D4",
               nullptr}));

struct Layout {
  const char16_t* ruled;
  const char16_t* answer;
  bool kept;
};

void PrintTo(const Layout& l, std::ostream* os) {
  *os << QString::fromUtf16(l.answer).toStdString();
}

class KeepsLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(KeepsLayout, RefusesControlsAndUndictatedLineBreaks) {
  const Layout& l = GetParam();
  EXPECT_EQ(keepsLayout(QString::fromUtf16(l.ruled), QString::fromUtf16(l.answer)), l.kept);
}

INSTANTIATE_TEST_SUITE_P(Table, KeepsLayout,
                         ::testing::Values(Layout{u"Hello there", u"Hello there.", true},
                                           Layout{u"First\nSecond", u"First.\nSecond.", true},
                                           Layout{u"Dear team\n\nThanks", u"Dear team,\nThanks",
                                                  true},
                                           Layout{u"Hello there", u"Hello\tthere", true},
                                           Layout{u"Hello there", u"Hello\nthere", false},
                                           Layout{u"First\nSecond", u"First\n\nSecond", false},
                                           Layout{u"Hello there", u"Hello\u2028there", false},
                                           Layout{u"Hello there", u"Hello \x1B[2Jthere", false},
                                           Layout{u"Hello\nthere", u"Hello\r\nthere", false},
                                           Layout{u"Hello there", u"Hello\x7F there", false},
                                           Layout{u"Hello there", u"Hello \u009B31mthere", false}));

}  // namespace
}  // namespace talvo
