#include "hotkey/fn_key_setting.h"
#include "hotkey/hotkey_monitor.h"
#include "support/task_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;

// A keyboard that reports what the test sets, and counts how often it is asked.
struct ScriptedKeyboard {
  uint64_t flags = 0;
  KeySet down;
  int flagReads = 0;
  int keyReads = 0;
};

class ScriptedSampler final : public KeyboardSampler {
public:
  explicit ScriptedSampler(std::shared_ptr<ScriptedKeyboard> keyboard) : keyboard_(std::move(keyboard)) {}
  uint64_t flags() override {
    ++keyboard_->flagReads;
    return keyboard_->flags;
  }
  KeySet down() override {
    ++keyboard_->keyReads;
    return keyboard_->down;
  }

private:
  std::shared_ptr<ScriptedKeyboard> keyboard_;
};

struct MonitorRig {
  std::shared_ptr<ScriptedKeyboard> keyboard = std::make_shared<ScriptedKeyboard>();
  std::vector<HotkeyEvent> events;
  HotkeyMonitor monitor;

  explicit MonitorRig(HotkeyChoice choice)
      : monitor(choice, [k = keyboard] { return std::make_unique<ScriptedSampler>(k); }) {
    monitor.onEvent = [this](const HotkeyEvent& e) { events.push_back(e); };
  }
};

TEST(HotkeyMonitor, IdleTicksNeverAskForKeysAndEmitNothing) {
  MonitorRig rig(HotkeyChoice::rightControl);
  rig.monitor.start();
  rig.keyboard->flags = key_flags::shift;  // someone typing capitals: not our flag
  for (int i = 0; i < 20; ++i) rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 0);
  EXPECT_TRUE(rig.events.empty());
}

TEST(HotkeyMonitor, ChosenFlagMakesItReadKeysAndPress) {
  MonitorRig rig(HotkeyChoice::rightOption);
  rig.monitor.start();
  rig.keyboard->flags = key_flags::alternate;
  rig.keyboard->down = {key_codes::rightOption};
  rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 1);
  ASSERT_EQ(rig.events.size(), 1u);
  EXPECT_EQ(rig.events[0], HotkeyEvent(Pressed{}));

  // While the hold lasts, keys are read even without the flag, so the release is seen.
  rig.keyboard->flags = 0;
  rig.keyboard->down = {};
  rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 2);
  ASSERT_EQ(rig.events.size(), 2u);
}

TEST(HotkeyMonitor, LeftAltAloneIsNotRightAlt) {
  MonitorRig rig(HotkeyChoice::rightOption);
  rig.monitor.start();
  rig.keyboard->flags = key_flags::alternate;
  rig.keyboard->down = {58};
  for (int i = 0; i < 5; ++i) rig.monitor.tick();
  EXPECT_TRUE(rig.events.empty());
}

TEST(HotkeyMonitor, StartingTwiceKeepsOneTimer) {
  MonitorRig rig(HotkeyChoice::rightControl);
  rig.monitor.start();
  rig.monitor.start();
  EXPECT_TRUE(rig.monitor.isSampling());
  test::spinFor(0.5);
  // One timer at 60 Hz ticks about 30 times in half a second; two would tick about 60.
  EXPECT_GT(rig.keyboard->flagReads, 0);
  EXPECT_LE(rig.keyboard->flagReads, 40);
  rig.monitor.stop();
  EXPECT_FALSE(rig.monitor.isSampling());
  int after = rig.keyboard->flagReads;
  test::spinFor(0.1);
  EXPECT_EQ(rig.keyboard->flagReads, after);
}

TEST(HotkeyMonitor, WithoutAKeyboardItStaysIdle) {
  HotkeyMonitor monitor(HotkeyChoice::rightControl, [] { return std::unique_ptr<KeyboardSampler>(); });
  monitor.start();
  monitor.start();
  EXPECT_FALSE(monitor.isSampling());
  monitor.tick();  // harmless
}

TEST(HotkeyMonitor, WithoutAnXDisplayItStaysIdle) {
  const char* old = std::getenv("DISPLAY");
  std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("DISPLAY", ":64999", 1);
  HotkeyMonitor monitor(HotkeyChoice::rightControl);
  monitor.start();
  EXPECT_FALSE(monitor.isSampling());
  if (saved) setenv("DISPLAY", saved->c_str(), 1);
  else unsetenv("DISPLAY");
}

TEST(FnKeySetting, LinuxHasNoLoneFnAction) {
  EXPECT_EQ(fn_key_setting::read(), FnKeySetting::doNothing);
  EXPECT_FALSE(conflicts(fn_key_setting::read()));
}

TEST(FnKeySetting, PreferenceValuesAndLabels) {
  using fn_key_setting::fromPreference;
  EXPECT_EQ(fromPreference(QVariant(3)), FnKeySetting::appleDictation);
  EXPECT_EQ(label(FnKeySetting::appleDictation), QStringLiteral("Start Dictation"));
  EXPECT_TRUE(conflicts(FnKeySetting::appleDictation));
  EXPECT_EQ(fromPreference(QVariant(0)), FnKeySetting::doNothing);
  EXPECT_EQ(fromPreference(QVariant(7)), FnKeySetting::systemDefault);
  EXPECT_EQ(fromPreference(QVariant(-1)), FnKeySetting::systemDefault);
  EXPECT_EQ(fromPreference(QVariant()), FnKeySetting::systemDefault);
  EXPECT_EQ(fromPreference(QVariant(QStringLiteral("2"))), FnKeySetting::systemDefault);
  EXPECT_EQ(label(FnKeySetting::systemDefault), QStringLiteral("the system default"));
  EXPECT_TRUE(conflicts(FnKeySetting::systemDefault));
  EXPECT_EQ(label(FnKeySetting::emoji), QStringLiteral("Show Emoji & Symbols"));
}

}  // namespace
}  // namespace talvo
