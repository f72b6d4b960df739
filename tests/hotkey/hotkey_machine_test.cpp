#include "hotkey/hotkey_machine.h"
#include "support/alloc_counter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;
using Events = std::vector<HotkeyEvent>;

constexpr uint16_t keyA = 0;
constexpr uint16_t leftArrow = 123;
constexpr uint16_t leftOption = 58;

KeySnapshot fnDown(KeySet keys = {}) { return {key_flags::secondaryFn, keys}; }
KeySnapshot nothing(KeySet keys = {}) { return {0, keys}; }

// Feeds (time, snapshot) pairs and collects what comes out.
struct Driver {
  HotkeyMachine machine;
  explicit Driver(HotkeyChoice choice = HotkeyChoice::fn) : machine(choice) {}

  Events at(double t, const KeySnapshot& s) {
    Events out;
    if (auto e = machine.step(s, t)) out.push_back(*e);
    return out;
  }
};

Events none() { return {}; }
Events one(HotkeyEvent e) { return {e}; }

TEST(HotkeyMachine, HoldAndRelease) {
  Driver d;
  EXPECT_EQ(d.at(0, fnDown()), one(Pressed{}));
  EXPECT_TRUE(d.machine.isHeld());
  EXPECT_EQ(d.at(0.25, fnDown()), none());
  EXPECT_EQ(d.at(0.5, nothing()), one(Released{0.5}));
  EXPECT_FALSE(d.machine.isHeld());
}

TEST(HotkeyMachine, ReleaseExactlyAtTapMaxIsAHold) {
  Driver d;
  d.at(1.0, fnDown());
  EXPECT_EQ(d.at(1.3, nothing()), one(Released{1.3 - 1.0}));
}

TEST(HotkeyMachine, DoubleTapLocksAndNextTapReleases) {
  Driver d;
  EXPECT_EQ(d.at(0, fnDown()), one(Pressed{}));
  EXPECT_EQ(d.at(0.2, nothing()), one(Aborted{AbortReason::tooShort}));
  EXPECT_EQ(d.at(0.5, fnDown()), one(Pressed{}));
  EXPECT_EQ(d.at(0.6, nothing()), one(Locked{}));
  EXPECT_TRUE(d.machine.isLocked());
  EXPECT_EQ(d.at(3.0, fnDown()), none());
  EXPECT_EQ(d.at(3.05, fnDown()), none());
  EXPECT_EQ(d.at(3.1, nothing()), one(Released{3.1 - 0.5}));
  EXPECT_FALSE(d.machine.isLocked());
  EXPECT_FALSE(d.machine.isHeld());
}

TEST(HotkeyMachine, SecondPressOutsideGapIsAnotherTap) {
  Driver d;
  d.at(0, fnDown());
  d.at(0.2, nothing());
  EXPECT_EQ(d.at(0.6, fnDown()), one(Pressed{}));
  EXPECT_EQ(d.at(0.7, nothing()), one(Aborted{AbortReason::tooShort}));
  EXPECT_FALSE(d.machine.isLocked());
}

TEST(HotkeyMachine, SecondPressExactlyAtGapIsASecondTap) {
  Driver d;
  d.at(0, fnDown());
  d.at(0.25, nothing());
  d.at(0.25 + 0.35, fnDown());
  EXPECT_EQ(d.at(0.7, nothing()), one(Locked{}));
}

TEST(HotkeyMachine, TapThenLongHoldIsAnOrdinaryDictation) {
  Driver d;
  d.at(0, fnDown());
  d.at(0.1, nothing());
  EXPECT_EQ(d.at(0.3, fnDown()), one(Pressed{}));
  EXPECT_EQ(d.at(1.0, nothing()), one(Released{0.7}));
  EXPECT_FALSE(d.machine.isLocked());
  // The second tap flag does not leak into the next hold.
  d.at(5, fnDown());
  EXPECT_EQ(d.at(5.1, nothing()), one(Aborted{AbortReason::tooShort}));
}

TEST(HotkeyMachine, EscInLockedModeCancelsOnceAcrossSteps) {
  Driver d;
  d.at(0, fnDown());
  d.at(0.1, nothing());
  d.at(0.2, fnDown());
  d.at(0.3, nothing());
  ASSERT_TRUE(d.machine.isLocked());
  const KeySet esc{key_codes::escape};
  EXPECT_EQ(d.at(1.0, nothing(esc)), one(Aborted{AbortReason::cancelled}));
  EXPECT_FALSE(d.machine.isLocked());
  EXPECT_EQ(d.at(1.1, nothing(esc)), none());
  EXPECT_EQ(d.at(1.2, nothing(esc)), none());
}

TEST(HotkeyMachine, EscHeldBeforeLockingDoesNotCancel) {
  Driver d;
  const KeySet esc{key_codes::escape};
  d.at(0, fnDown());
  d.at(0.1, nothing());
  d.at(0.2, fnDown());
  d.at(0.3, nothing(esc));  // locks with Esc already down: no edge yet
  ASSERT_TRUE(d.machine.isLocked());
  EXPECT_EQ(d.at(0.4, nothing(esc)), none());
  EXPECT_EQ(d.at(0.5, nothing()), none());
  EXPECT_EQ(d.at(0.6, nothing(esc)), one(Aborted{AbortReason::cancelled}));
}

TEST(HotkeyMachine, LockedModeIgnoresOtherKeysAndModifiers) {
  Driver d;
  d.at(0, fnDown());
  d.at(0.1, nothing());
  d.at(0.2, fnDown());
  d.at(0.3, nothing());
  EXPECT_EQ(d.at(0.5, KeySnapshot{key_flags::shift, {keyA}}), none());
  EXPECT_TRUE(d.machine.isLocked());
}

TEST(HotkeyMachine, EscDuringHoldCancelsAndReleaseIsSilent) {
  Driver d;
  d.at(0, fnDown());
  EXPECT_EQ(d.at(0.5, fnDown({key_codes::escape})), one(Aborted{AbortReason::cancelled}));
  EXPECT_EQ(d.at(0.6, fnDown({key_codes::escape})), none());
  EXPECT_EQ(d.at(0.9, nothing()), none());
  // The next hold works normally.
  EXPECT_EQ(d.at(2, fnDown()), one(Pressed{}));
  EXPECT_EQ(d.at(3, nothing()), one(Released{1}));
}

TEST(HotkeyMachine, OtherKeyDuringHoldIsAComboOnce) {
  Driver d;
  d.at(0, fnDown());
  EXPECT_EQ(d.at(0.4, fnDown({keyA})), one(Aborted{AbortReason::combo}));
  EXPECT_EQ(d.at(0.5, fnDown({keyA})), none());
  EXPECT_EQ(d.at(0.6, fnDown()), none());
  EXPECT_EQ(d.at(1.0, nothing()), none());
}

TEST(HotkeyMachine, AddedModifierDuringHoldIsACombo) {
  Driver d;
  d.at(0, fnDown());
  EXPECT_EQ(d.at(0.4, KeySnapshot{key_flags::secondaryFn | key_flags::shift, {}}),
            one(Aborted{AbortReason::combo}));
}

TEST(HotkeyMachine, KeyAlreadyDownAtPressIsIgnoredUntilPressedAgain) {
  Driver d;
  EXPECT_EQ(d.at(0, fnDown({keyA})), one(Pressed{}));
  EXPECT_EQ(d.at(0.2, fnDown({keyA})), none());
  EXPECT_EQ(d.at(0.3, fnDown()), none());
  EXPECT_EQ(d.at(0.4, fnDown({keyA})), one(Aborted{AbortReason::combo}));
}

TEST(HotkeyMachine, KeyHeldThroughWholeHoldIsNoCombo) {
  Driver d;
  d.at(0, fnDown({keyA}));
  d.at(0.3, fnDown({keyA}));
  EXPECT_EQ(d.at(0.6, nothing({keyA})), one(Released{0.6}));
}

TEST(HotkeyMachine, EscAlreadyDownAtPressIsIgnored) {
  Driver d;
  const KeySet esc{key_codes::escape};
  EXPECT_EQ(d.at(0, fnDown(esc)), one(Pressed{}));
  EXPECT_EQ(d.at(0.2, fnDown(esc)), none());
  EXPECT_EQ(d.at(0.5, nothing()), one(Released{0.5}));
}

TEST(HotkeyMachine, PressWaitsForOtherModifierToGo) {
  Driver d;
  EXPECT_EQ(d.at(0, KeySnapshot{key_flags::secondaryFn | key_flags::shift, {}}), none());
  EXPECT_FALSE(d.machine.isHeld());
  EXPECT_EQ(d.at(0.25, fnDown()), one(Pressed{}));
  EXPECT_EQ(d.at(0.75, nothing()), one(Released{0.5}));
}

TEST(HotkeyMachine, FnPressWaitsForNavigationKeys) {
  Driver d;
  EXPECT_EQ(d.at(0, fnDown({leftArrow})), none());
  EXPECT_EQ(d.at(0.1, fnDown({111})), none());  // F12
  EXPECT_EQ(d.at(0.2, fnDown()), one(Pressed{}));
}

TEST(HotkeyMachine, NavigationKeysDoNotBlockRightHandChoices) {
  Driver d(HotkeyChoice::rightControl);
  EXPECT_EQ(d.at(0, KeySnapshot{key_flags::control, {key_codes::rightControl, leftArrow}}),
            one(Pressed{}));
}

TEST(HotkeyMachine, RightOptionNeedsItsOwnKeyCode) {
  Driver d(HotkeyChoice::rightOption);
  EXPECT_EQ(d.at(0, KeySnapshot{key_flags::alternate, {leftOption}}), none());
  EXPECT_EQ(d.at(0.1, KeySnapshot{key_flags::alternate, {key_codes::rightOption}}),
            one(Pressed{}));
  EXPECT_EQ(d.at(0.5, KeySnapshot{key_flags::alternate, {leftOption}}), one(Released{0.4}));
}

TEST(HotkeyMachine, OwnFlagIsNotAnOtherModifier) {
  Driver d(HotkeyChoice::rightCommand);
  const KeySnapshot held{key_flags::command, {key_codes::rightCommand}};
  d.at(0, held);
  EXPECT_EQ(d.at(0.2, held), none());
  EXPECT_EQ(d.at(0.3, KeySnapshot{key_flags::command | key_flags::control,
                                  {key_codes::rightCommand}}),
            one(Aborted{AbortReason::combo}));
}

TEST(HotkeyMachine, ModifierKeyCodesNeverCountAsOtherKeys) {
  Driver d(HotkeyChoice::rightControl);
  d.at(0, KeySnapshot{key_flags::control, {key_codes::rightControl}});
  // Caps lock (57) is a modifier key code without one of the four flags.
  EXPECT_EQ(d.at(0.2, KeySnapshot{key_flags::control, {key_codes::rightControl, 57}}), none());
}

TEST(HotkeyMachine, FnCountsAllFourModifiers) {
  for (uint64_t flag : {key_flags::shift, key_flags::control, key_flags::alternate,
                        key_flags::command}) {
    Driver d;
    EXPECT_EQ(d.at(0, KeySnapshot{key_flags::secondaryFn | flag, {}}), none());
  }
}

TEST(HotkeyMachine, ParametersAreHonoured) {
  Driver d;
  d.machine.tapMax = 0.1;
  d.at(0, fnDown());
  EXPECT_EQ(d.at(0.15, nothing()), one(Released{0.15}));
}

TEST(HotkeyMachine, IdleAndHoldingStepsDoNotAllocate) {
  HotkeyMachine machine(HotkeyChoice::rightControl);
  const KeySnapshot idle{0, {}};
  const KeySnapshot held{key_flags::control, {key_codes::rightControl, keyA}};
  const KeySnapshot holding{key_flags::control, {key_codes::rightControl}};
  double t = 0;
  machine.step(idle, t);

  const std::size_t before = test::allocationCount();
  for (int i = 0; i < 10000; ++i) machine.step(idle, t += 0.016);
  ASSERT_TRUE(machine.step(held, t += 0.016).has_value());  // pressed, keyA held before
  for (int i = 0; i < 10000; ++i) ASSERT_FALSE(machine.step(holding, t += 0.016).has_value());
  EXPECT_EQ(test::allocationCount(), before);
}

TEST(HotkeyChoice, StoredFormsAndLabels) {
  EXPECT_EQ(storedForm(HotkeyChoice::rightControl), "rightControl");
  EXPECT_EQ(hotkeyChoiceFromStored(u"rightOption"), HotkeyChoice::rightOption);
  EXPECT_EQ(hotkeyChoiceFromStored(u"RightOption"), std::nullopt);
  EXPECT_EQ(label(HotkeyChoice::fn), "Fn");
  EXPECT_EQ(label(HotkeyChoice::rightOption), "Right Alt");
  EXPECT_EQ(label(HotkeyChoice::rightCommand), "Right Super");
  for (HotkeyChoice choice : allHotkeyChoices)
    EXPECT_EQ(hotkeyChoiceFromStored(storedForm(choice)), choice);
}

}  // namespace
}  // namespace talvo
