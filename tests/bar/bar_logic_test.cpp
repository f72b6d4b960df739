#include "bar/pill_controller.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using K = PillPhase::Kind;
namespace g = pill_geometry;

std::vector<SpokenWord> wordsOf(int count, int letters) {
  return std::vector<SpokenWord>(std::size_t(count), SpokenWord{QString(letters, u'x'), 0.9});
}

struct SizeCase {
  const char* name;
  PillPhase phase;
  std::vector<SpokenWord> words;
  bool cantHear;
  QSizeF expected;
};

class BarSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(BarSize, FollowsThePhaseAndTheWords) {
  const SizeCase& c = GetParam();
  const QSizeF s = g::size(c.phase, c.words, c.cantHear);
  EXPECT_NEAR(s.width(), c.expected.width(), 1e-9);
  EXPECT_EQ(s.height(), c.expected.height());
}

INSTANTIATE_TEST_SUITE_P(
    Pill, BarSize,
    ::testing::Values(
        SizeCase{"hidden", PillPhase::of(K::hidden), {}, false, {0, 0}},
        SizeCase{"resting", PillPhase::of(K::resting), {}, false, {56, 18}},
        SizeCase{"threeShortWords", PillPhase::of(K::listening), wordsOf(3, 3), false, {220, 60}},
        SizeCase{
            "fourteenLongWords", PillPhase::of(K::listening), wordsOf(14, 9), false, {500, 60}},
        // Only the newest fourteen words count: 14 × 3 characters.
        SizeCase{
            "olderWordsIgnored", PillPhase::of(K::working), wordsOf(40, 2), false, {399.2, 60}},
        SizeCase{"doneEmpty", PillPhase::of(K::done), {}, false, {272.4, 60}},
        SizeCase{"cantHear", PillPhase::of(K::listening), wordsOf(3, 3), true, {384, 60}},
        SizeCase{"shortMessage",
                 PillPhase::message("Ready", "waveform", false),
                 {},
                 false,
                 {5 * 7.2 + 80 + 20, 60}},
        SizeCase{
            "longMessage", PillPhase::message(QString(100, u'a'), "", true), {}, false, {480, 60}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BarMouse, OnlyClickablePhasesTakeClicks) {
  EXPECT_TRUE(g::ignoresMouse(PillPhase::message("No text box", "x", false)));
  EXPECT_FALSE(g::ignoresMouse(PillPhase::message("Click to copy", "x", true)));
  EXPECT_TRUE(g::ignoresMouse(PillPhase::of(K::working)));
  for (K k : {K::resting, K::listening, K::done}) EXPECT_FALSE(g::ignoresMouse(PillPhase::of(k)));
}

const g::ScreenArea leftScreen{{0, 0, 1280, 800}, {0, 0, 1280, 770}};
const g::ScreenArea rightScreen{{1280, 0, 1000, 700}, {1280, 30, 1000, 670}};

struct PlaceCase {
  const char* name = "";
  QSizeF size;
  bool resting = false;
  std::optional<QRectF> anchor;
  std::optional<QPointF> pointer;
  std::optional<QRectF> expected;
};

// Bottom centre sits 12 above the work area's bottom; a caret 10 above it leaves no room
// below, so the bar goes above the caret.
TEST(BarPlace, FollowsTheRules) {
  const std::nullopt_t none = std::nullopt;
  const QSizeF pill(56, 18);
  const QSizeF bar(220, 60);
  const PlaceCase cases[] = {
      {"restingCentred", pill, true, none, QPointF(10, 10), QRectF(612, 770 - 12 - 18, 56, 18)},
      {"restingIgnoresCaret", pill, true, QRectF(100, 100, 2, 16), none, QRectF(612, 740, 56, 18)},
      {"pointerPicksScreen", bar, false, none, QPointF(1500, 300),
       QRectF(1280 + 500 - 110, 700 - 12 - 60, 220, 60)},
      {"noPointerPrimary", bar, false, none, none, QRectF(530, 698, 220, 60)},
      {"belowCaret", bar, false, QRectF(300, 200, 2, 16), none, QRectF(280, 218, 220, 60)},
      {"aboveCaretNearBottom", bar, false, QRectF(300, 744, 2, 16), none,
       QRectF(280, 744 - 2 - 60, 220, 60)},
      {"clampedLeft", bar, false, QRectF(5, 200, 2, 16), none, QRectF(4, 218, 220, 60)},
      {"clampedRightOnSecondScreen", QSizeF(500, 60), false, QRectF(2250, 100, 2, 16), none,
       QRectF(2280 - 500 - 4, 118, 500, 60)},
      {"clampedBelowTop", bar, false, QRectF(1300, 0, 2, 10), none, QRectF(1284, 30, 220, 60)},
      {"caretOffEveryScreen", bar, false, QRectF(5000, 5000, 2, 16), none, none},
  };
  for (const PlaceCase& c : cases)
    EXPECT_EQ(g::frame({c.size, c.resting, c.anchor, {leftScreen, rightScreen}, c.pointer}),
              c.expected)
        << c.name;
}

struct RecordingDesktop final : BarDesktop {
  std::optional<QRectF> caretRect;
  std::optional<QRectF> shown;  // absent while hidden
  bool clickThrough = false;
  std::function<void()> tap, fix;
  std::vector<g::ScreenArea> screens() override { return {leftScreen}; }
  std::optional<QPointF> pointer() override { return QPointF(1, 1); }
  std::optional<QRectF> caret() override { return caretRect; }
  std::optional<QImage> activeAppIcon() override { return QImage(32, 32, QImage::Format_ARGB32); }
  void showPanel(const QRectF& f, bool ignores) override {
    shown = f;
    clickThrough = ignores;
  }
  void hidePanel() override { shown.reset(); }
  void setClickHandlers(std::function<void()> t, std::function<void()> f) override {
    tap = std::move(t);
    fix = std::move(f);
  }
};

struct Bar {
  std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
  std::shared_ptr<PillModel> model = std::make_shared<PillModel>();
  PillController bar{model, desktop};
  double level = 0;
  std::pair<double, double> health{0, 0};
  Bar() {
    bar.levelSource = [this] { return level; };
    bar.healthSource = [this] { return health; };
    bar.micName = [] { return QStringLiteral("Headset"); };
  }
};

TEST(PillController, RestDependsOnTheMode) {
  Bar b;
  b.bar.listen();
  b.bar.rest();
  EXPECT_EQ(b.bar.phase(), PillPhase::of(K::hidden));
  EXPECT_FALSE(b.desktop->shown);
  b.bar.mode = BarMode::always;
  b.bar.rest();
  EXPECT_EQ(b.desktop->shown, QRectF(612, 740, 56, 18));
  EXPECT_FALSE(b.bar.meterRunning());
}

TEST(PillController, ListenFollowsTheCaretAndStartsTheMeter) {
  Bar b;
  b.desktop->caretRect = QRectF(300, 200, 2, 16);
  b.bar.listen();
  EXPECT_EQ(b.desktop->shown, QRectF(280, 218, 220, 60));
  EXPECT_FALSE(b.desktop->clickThrough);
  EXPECT_TRUE(b.model->appIcon());
  EXPECT_TRUE(b.bar.meterRunning());
  b.bar.atCursor = false;
  b.bar.listen();
  EXPECT_EQ(b.desktop->shown, QRectF(530, 698, 220, 60));
  b.bar.showWords(wordsOf(14, 9));
  EXPECT_EQ(b.desktop->shown->width(), 500);
}

TEST(PillController, MeterSmoothsTheLevel) {
  Bar b;
  b.bar.listen();
  b.level = 0.5;  // √3 is above 1, so the target is 1
  b.bar.tickMeter();
  EXPECT_DOUBLE_EQ(b.model->level(), 0.45);
  b.level = 0.01;  // target √0.06
  b.bar.tickMeter();
  EXPECT_NEAR(b.model->level(), 0.45 * std::sqrt(0.06) + 0.55 * 0.45, 1e-12);
  b.level = std::nan("");
  b.bar.tickMeter();
  EXPECT_TRUE(std::isfinite(b.model->level()));
}

TEST(PillController, CantHearHintComesAndGoes) {
  Bar b;
  b.bar.listen();
  b.health = {0.9, 0.0};
  b.bar.tickMeter();
  EXPECT_FALSE(b.model->cantHear());
  b.health = {1.0, 0.001};
  b.bar.tickMeter();
  EXPECT_EQ(b.model->cantHear(), QString("Headset"));
  EXPECT_EQ(b.desktop->shown->width(), 384);
  b.health = {1.5, 0.004};
  b.bar.tickMeter();
  EXPECT_FALSE(b.model->cantHear());
  EXPECT_EQ(b.desktop->shown->width(), 220);
  b.health = {2, 0};
  b.bar.tickMeter();
  b.bar.flash(PillPhase::of(K::working));  // leaving listening clears the hint
  EXPECT_FALSE(b.model->cantHear());
  EXPECT_FALSE(b.bar.meterRunning());
}

TEST(PillController, FlashReturnsToRestUnlessListeningStarts) {
  Bar b;
  b.bar.mode = BarMode::always;
  b.bar.flash(PillPhase::message("No text box selected", "x", false), 0.01);
  EXPECT_TRUE(b.desktop->clickThrough);
  QTRY_COMPARE(b.bar.phase(), PillPhase::of(K::resting));

  b.bar.flash(PillPhase::of(K::done), 0.01);
  b.bar.listen();
  EXPECT_FALSE(b.bar.restPending());
  QTest::qWait(50);
  EXPECT_EQ(b.bar.phase(), PillPhase::of(K::listening));
}

TEST(PillController, ClicksReachTheCallbacksWithThePhase) {
  Bar b;
  std::vector<PillPhase> taps;
  int fixes = 0;
  b.bar.onTap = [&](const PillPhase& p) { taps.push_back(p); };
  b.bar.onFix = [&] { ++fixes; };
  b.bar.flash(PillPhase::of(K::done));
  b.desktop->tap();
  b.desktop->fix();
  EXPECT_EQ(taps, std::vector{PillPhase::of(K::done)});
  EXPECT_EQ(fixes, 1);
}

}  // namespace
}  // namespace talvo
