#include "setup/setup_steps.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

using S = SetupStep;

struct Move {
  S from;
  int delta;
  bool conflict;
  S to;
};

class SetupMoveTest : public testing::TestWithParam<Move> {};

TEST_P(SetupMoveTest, FollowsTheTable) {
  const auto& m = GetParam();
  EXPECT_EQ(moveSetupStep(m.from, m.delta, m.conflict), m.to);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetupMoveTest,
    testing::Values(Move{S::welcome, -1, false, S::welcome},
                    Move{S::welcome, 1, false, S::microphone},
                    Move{S::microphone, -1, false, S::welcome},
                    Move{S::microphone, 1, true, S::pasting}, Move{S::pasting, 1, true, S::fnKey},
                    Move{S::pasting, 1, false, S::tryIt}, Move{S::tryIt, -1, true, S::fnKey},
                    Move{S::tryIt, -1, false, S::pasting}, Move{S::fnKey, 1, true, S::tryIt},
                    Move{S::fnKey, -1, true, S::pasting},
                    // The conflict resolved while on the globe-key step: moving still works.
                    Move{S::fnKey, 1, false, S::tryIt}, Move{S::fnKey, -1, false, S::pasting},
                    Move{S::tryIt, 1, false, S::done}, Move{S::done, -1, true, S::tryIt},
                    Move{S::done, 1, true, S::done}));

TEST(SetupStepFromIndex, OnlyTheSixSteps) {
  EXPECT_EQ(setupStepFromIndex(0), S::welcome);
  EXPECT_EQ(setupStepFromIndex(5), S::done);
  EXPECT_EQ(setupStepFromIndex(-1), std::nullopt);
  EXPECT_EQ(setupStepFromIndex(6), std::nullopt);
}

struct Footer {
  S step;
  bool typingAllowed;
  bool tryItEmpty;
  std::vector<QString> texts;
};

class SetupFooterTest : public testing::TestWithParam<Footer> {};

TEST_P(SetupFooterTest, ButtonsLeftToRight) {
  const auto& f = GetParam();
  const auto buttons = footerButtons(f.step, f.typingAllowed, f.tryItEmpty);
  std::vector<QString> texts;
  texts.reserve(buttons.size());
  for (const auto& b : buttons) texts.push_back(b.text);
  EXPECT_EQ(texts, f.texts);
  ASSERT_FALSE(buttons.empty());
  EXPECT_EQ(buttons.back().style, FooterStyle::prominent);
  if (texts.front() == QStringLiteral("Back")) {
    EXPECT_EQ(buttons.front().action, FooterAction::back);
    EXPECT_EQ(buttons.front().style, FooterStyle::bordered);
  }
  for (std::size_t i = 1; i < buttons.size(); ++i) {
    EXPECT_EQ(buttons[i].action, f.step == S::done ? FooterAction::finish : FooterAction::next);
  }
}

const QString back = QStringLiteral("Back");
const QString go = QStringLiteral("Continue");

INSTANTIATE_TEST_SUITE_P(
    Steps, SetupFooterTest,
    testing::Values(Footer{S::welcome, false, true, {QStringLiteral("Set up")}},
                    Footer{S::microphone, false, true, {back, go}},
                    Footer{S::pasting, false, true, {back, QStringLiteral("Skip for now"), go}},
                    Footer{S::pasting, true, true, {back, go}},
                    Footer{S::fnKey, false, true, {back, go}},
                    Footer{S::tryIt, true, true, {back, QStringLiteral("Skip"), go}},
                    Footer{S::tryIt, true, false, {back, go}},
                    Footer{S::done, true, false, {QStringLiteral("Done")}}));

TEST(SetupFooter, DoneFinishes) {
  EXPECT_EQ(footerButtons(S::done, true, true).front().action, FooterAction::finish);
}

}  // namespace
}  // namespace talvo
