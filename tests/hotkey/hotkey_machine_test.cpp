#include "hotkey/hotkey_machine.h"
#include "support/alloc_counter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;
using namespace key_codes;

constexpr uint16_t letterA = otherKeyBase;
constexpr double tapMax = HotkeyMachine::tapMax;
constexpr double gap = HotkeyMachine::doubleTapGap;

KeySnapshot fnDown(KeySet keys = {}, uint64_t more = 0) {
  return {key_flags::secondaryFn | more, keys};
}
KeySnapshot fnUp(KeySet keys = {}, uint64_t flags = 0) { return {flags, keys}; }

// One sample at a time, and the event it must give (none when absent).
struct Step {
  double at;
  KeySnapshot sample;
  std::optional<HotkeyEvent> expected;
};

struct MachineCase {
  const char* name;
  HotkeyChoice choice;
  std::vector<Step> script;
  bool heldAtEnd = false;
  bool lockedAtEnd = false;
};

void PrintTo(const MachineCase& c, std::ostream* out) { *out << c.name; }

const Aborted tooShort{AbortReason::tooShort};
const Aborted combo{AbortReason::combo};
const Aborted cancelled{AbortReason::cancelled};

// Press at t = 0, release a tap later: the double tap that locks hands-free mode.
std::vector<Step> doubleTap() {
  return {{0, fnDown(), Pressed{}},
          {0.125, fnUp(), tooShort},
          {0.25, fnDown(), Pressed{}},
          {0.375, fnUp(), Locked{}}};
}
std::vector<Step> then(std::vector<Step> first, const std::vector<Step>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

const MachineCase machineCases[] = {
    {"HoldAndRelease",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}}, {0.25, fnDown(), {}}, {0.5, fnUp(), Released{0.5}}}},
    {"ReleaseExactlyAtTheTapLimitIsAHold",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}}, {tapMax, fnUp(), Released{tapMax}}}},
    {"ReleaseJustBeforeTheTapLimitIsATap",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}}, {0.25, fnUp(), tooShort}}},
    {"DoubleTapLocksAndTheNextTapReleases", HotkeyChoice::fn,
     then(doubleTap(), {{3, fnDown(), {}}, {3.25, fnDown(), {}}, {3.5, fnUp(), Released{3.25}}})},
    {"LockedWithTheKeyDown", HotkeyChoice::fn, then(doubleTap(), {{1, fnDown(), {}}}), true, true},
    {"SecondPressExactlyAtTheGapIsASecondTap",
     HotkeyChoice::fn,
     {{-0.125, fnDown(), Pressed{}},
      {0, fnUp(), tooShort},
      {gap, fnDown(), Pressed{}},
      {gap + 0.125, fnUp(), Locked{}}},
     false,
     true},
    {"SecondPressOutsideTheGapIsAnotherTap",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}},
      {0.125, fnUp(), tooShort},
      {0.5, fnDown(), Pressed{}},
      {0.625, fnUp(), tooShort}}},
    {"TapThenLongHoldIsAnOrdinaryDictation",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}},
      {0.125, fnUp(), tooShort},
      {0.25, fnDown(), Pressed{}},
      {1, fnUp(), Released{0.75}},
      {5, fnDown(), Pressed{}},
      {5.125, fnUp(), tooShort}}},
    {"EscInLockedModeCancelsOnceAcrossSteps", HotkeyChoice::fn,
     then(doubleTap(), {{1, fnUp({escape}), cancelled},
                        {1.125, fnUp({escape}), {}},
                        {1.25, fnUp({escape}), {}}})},
    {"EscAlreadyDownWhenLockingWaitsForItsNextPress",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}},
      {0.125, fnUp(), tooShort},
      {0.25, fnDown(), Pressed{}},
      {0.375, fnUp({escape}), Locked{}},
      {0.5, fnUp({escape}), {}},
      {0.625, fnUp(), {}},
      {0.75, fnUp({escape}), cancelled}}},
    {"LockedModeIgnoresOtherKeysAndModifiers", HotkeyChoice::fn,
     then(doubleTap(), {{0.5, fnUp({letterA}, key_flags::shift), {}}}), false, true},
    {"EscDuringAHoldCancelsAndTheReleaseIsSilent",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}},
      {0.5, fnDown({escape}), cancelled},
      {0.625, fnDown({escape}), {}},
      {1, fnUp(), {}},
      {2, fnDown(), Pressed{}},
      {3, fnUp(), Released{1}}}},
    {"AnotherKeyDuringAHoldIsAComboOnce",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}},
      {0.5, fnDown({letterA}), combo},
      {0.625, fnDown({letterA}), {}},
      {0.75, fnDown(), {}},
      {1, fnUp(), {}}}},
    {"AnAddedModifierDuringAHoldIsACombo",
     HotkeyChoice::fn,
     {{0, fnDown(), Pressed{}}, {0.5, fnDown({}, key_flags::shift), combo}},
     true},
    {"AKeyDownBeforeThePressCountsOnlyWhenPressedAgain",
     HotkeyChoice::fn,
     {{0, fnDown({letterA}), Pressed{}},
      {0.25, fnDown({letterA}), {}},
      {0.375, fnDown(), {}},
      {0.5, fnDown({letterA}), combo}},
     true},
    {"AKeyHeldThroughTheWholeHoldIsNoCombo",
     HotkeyChoice::fn,
     {{0, fnDown({letterA}), Pressed{}},
      {0.25, fnDown({letterA}), {}},
      {0.5, fnUp({letterA}), Released{0.5}}}},
    {"EscDownBeforeThePressIsIgnored",
     HotkeyChoice::fn,
     {{0, fnDown({escape}), Pressed{}},
      {0.25, fnDown({escape}), {}},
      {0.5, fnUp(), Released{0.5}}}},
    {"APressWaitsForAnotherModifierToGo",
     HotkeyChoice::fn,
     {{0, fnDown({}, key_flags::shift), {}},
      {0.25, fnDown(), Pressed{}},
      {0.75, fnUp(), Released{0.5}}}},
    {"FnCountsAllFourModifiers",
     HotkeyChoice::fn,
     {{0, fnDown({}, key_flags::shift), {}},
      {0.125, fnDown({}, key_flags::control), {}},
      {0.25, fnDown({}, key_flags::alternate), {}},
      {0.375, fnDown({}, key_flags::command), {}}}},
    {"FnWaitsForArrowsAndFunctionKeys",
     HotkeyChoice::fn,
     {{0, fnDown({leftArrow}), {}},
      {0.125, fnDown({functionKeys[11]}), {}},
      {0.25, fnDown(), Pressed{}}},
     true},
    {"ArrowsDoNotBlockARightHandKey",
     HotkeyChoice::rightControl,
     {{0, {key_flags::control, {rightControl, leftArrow}}, Pressed{}}},
     true},
    {"RightAltNeedsItsOwnKey",
     HotkeyChoice::rightOption,
     {{0, {key_flags::alternate, {option}}, {}},
      {0.25, {key_flags::alternate, {rightOption}}, Pressed{}},
      {0.75, {key_flags::alternate, {option}}, Released{0.5}}}},
    {"TheKeysOwnFlagIsNoOtherModifier",
     HotkeyChoice::rightCommand,
     {{0, {key_flags::command, {rightCommand}}, Pressed{}},
      {0.25, {key_flags::command, {rightCommand}}, {}},
      {0.5, {key_flags::command | key_flags::control, {rightCommand}}, combo}},
     true},
    {"ModifierKeyCodesNeverCountAsOtherKeys",
     HotkeyChoice::rightControl,
     {{0, {key_flags::control, {rightControl}}, Pressed{}},
      {0.25, {key_flags::control, {rightControl, capsLock, shift}}, {}}},
     true},
};

class HotkeyMachineScript : public ::testing::TestWithParam<MachineCase> {};

TEST_P(HotkeyMachineScript, GivesTheExpectedEvents) {
  const MachineCase& c = GetParam();
  HotkeyMachine machine(c.choice);
  for (const Step& step : c.script)
    EXPECT_EQ(machine.step(step.sample, step.at), step.expected) << "at t=" << step.at;
  EXPECT_EQ(machine.isHeld(), c.heldAtEnd);
  EXPECT_EQ(machine.isLocked(), c.lockedAtEnd);
}

INSTANTIATE_TEST_SUITE_P(Gestures, HotkeyMachineScript, ::testing::ValuesIn(machineCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HotkeyMachine, IdleAndHoldingStepsDoNotAllocate) {
  HotkeyMachine machine(HotkeyChoice::rightControl);
  const KeySnapshot idle{0, {}};
  const KeySnapshot press{key_flags::control, {rightControl, letterA}};
  const KeySnapshot holding{key_flags::control, {rightControl}};
  double t = 0;
  (void)machine.step(idle, t);

  const std::size_t before = test::allocationCount();
  for (int i = 0; i < 10000; ++i) (void)machine.step(idle, t += 0.016);
  ASSERT_TRUE(machine.step(press, t += 0.016).has_value());
  for (int i = 0; i < 10000; ++i) ASSERT_FALSE(machine.step(holding, t += 0.016).has_value());
  EXPECT_EQ(test::allocationCount(), before);
}

TEST(HotkeyChoice, StoredFnAndUnknownTextReadAsTheDefault) {
  for (HotkeyChoice choice : offeredHotkeyChoices()) {
    EXPECT_NE(choice, HotkeyChoice::fn) << "X11 cannot see a firmware Fn key";
    EXPECT_EQ(usableHotkey(hotkeyChoiceFromStored(storedForm(choice))), choice);
  }
  EXPECT_EQ(offeredHotkeyChoices().size(), 3u);
  EXPECT_EQ(hotkeyChoiceFromStored(u"fn"), HotkeyChoice::fn);  // stored values keep their case
  EXPECT_EQ(usableHotkey(hotkeyChoiceFromStored(u"fn")), HotkeyChoice::rightControl);
  EXPECT_EQ(usableHotkey(hotkeyChoiceFromStored(u"RightOption")), HotkeyChoice::rightControl);
}

}  // namespace
}  // namespace talvo
