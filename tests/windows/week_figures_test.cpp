#include "windows/week_figures.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double now = 1'800'000'000;

History::Entry spoken(int words, double seconds, double age) {
  History::Entry entry;
  entry.ts = now - age;
  entry.text = QStringList(words, QStringLiteral("word")).join(QStringLiteral(" \t"));
  entry.seconds = seconds;
  return entry;
}

struct Case {
  const char* name;
  std::vector<History::Entry> entries;
  WeekFigures expected;
};

class WeekFiguresTest : public testing::TestWithParam<Case> {};

TEST_P(WeekFiguresTest, CountsTheLastSevenDays) {
  EXPECT_EQ(weekFigures(GetParam().entries, now), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WeekFiguresTest,
    testing::Values(
        Case{"empty", {}, {0, 0, 0}},
        Case{"twoHundredWordsInAMinute", {spoken(200, 60, 10)}, {200, 1, 4}},
        Case{"slowerThanTyping", {spoken(10, 120, 10)}, {10, 1, 0}},
        Case{"olderThanAWeek", {spoken(200, 60, weekSeconds + 1), spoken(40, 0, 5)}, {40, 1, 1}},
        Case{"exactlyAWeekOld", {spoken(40, 0, weekSeconds)}, {40, 1, 1}},
        // 2.5 minutes typed, none spoken: a half rounds up.
        Case{"halfRoundsAwayFromZero", {spoken(100, 0, 1)}, {100, 1, 3}},
        Case{"sumsBeforeRounding",
             {spoken(20, 0, 1), spoken(20, 0, 2), spoken(20, 0, 3)},
             {60, 3, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WordCount, SplitsOnAnyWhiteSpace) {
  EXPECT_EQ(wordCount(QStringLiteral("  one\ttwo\nthree  ")), 3);
  EXPECT_EQ(wordCount(QStringLiteral("   ")), 0);
}

}  // namespace
}  // namespace talvo
