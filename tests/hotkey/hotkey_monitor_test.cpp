#include "hotkey/fn_key_setting.h"
#include "hotkey/hotkey_monitor.h"
#include "support/log_capture.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
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

// Long after a timer is due, one pass of the event loop fires it exactly once.
void oneLoopPassWellAfterATick() {
  QThread::msleep(HotkeyMonitor::intervalMs * 4);
  QCoreApplication::processEvents();
}

TEST(HotkeyMonitor, IdleTicksNeverAskForKeysAndEmitNothing) {
  MonitorRig rig(HotkeyChoice::rightControl);
  rig.keyboard->flags = key_flags::shift;  // someone typing capitals: not our flag
  for (int i = 0; i < 20; ++i) rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 0);
  EXPECT_TRUE(rig.events.empty());
}

TEST(HotkeyMonitor, TheChosenFlagMakesItReadKeysUntilTheHoldEnds) {
  MonitorRig rig(HotkeyChoice::rightOption);
  rig.keyboard->flags = key_flags::alternate;
  rig.keyboard->down = {key_codes::rightOption};
  rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 1);
  EXPECT_EQ(rig.events, std::vector<HotkeyEvent>{Pressed{}});

  // While the hold lasts, keys are read even without the flag, so the release is seen.
  rig.keyboard->flags = 0;
  rig.keyboard->down = {};
  rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 2);
  EXPECT_EQ(rig.events.size(), 2u);
}

TEST(HotkeyMonitor, StartingTwiceKeepsOneTimerAndStopEndsIt) {
  MonitorRig rig(HotkeyChoice::rightControl);
  ASSERT_TRUE(rig.monitor.start());
  ASSERT_TRUE(rig.monitor.start());
  oneLoopPassWellAfterATick();
  EXPECT_EQ(rig.keyboard->flagReads, 1) << "two timers would tick twice";
  rig.monitor.stop();
  oneLoopPassWellAfterATick();
  EXPECT_EQ(rig.keyboard->flagReads, 1);
}

TEST(HotkeyMonitor, WithoutAKeyboardItStaysOffAndSaysSoOnce) {
  test::LogCapture log;
  int factoryCalls = 0;
  HotkeyMonitor monitor(HotkeyChoice::rightControl, [&] {
    ++factoryCalls;
    return std::unique_ptr<KeyboardSampler>();
  });
  EXPECT_FALSE(monitor.start());
  EXPECT_FALSE(monitor.start());
  monitor.tick();  // harmless
  EXPECT_EQ(factoryCalls, 1);
  EXPECT_EQ(log.messages().size(), 1);
}

TEST(HotkeyMonitor, WithoutAnXDisplayItStaysOff) {
  const std::optional<QByteArray> saved =
      qEnvironmentVariableIsSet("DISPLAY") ? std::optional(qgetenv("DISPLAY")) : std::nullopt;
  qputenv("DISPLAY", ":64999");
  HotkeyMonitor monitor(HotkeyChoice::rightControl);
  EXPECT_FALSE(monitor.start());
  if (saved) qputenv("DISPLAY", *saved);
  else qunsetenv("DISPLAY");
}

TEST(FnKeySetting, LinuxHasNoLoneFnActionToWarnAbout) {
  EXPECT_FALSE(conflicts(fn_key_setting::read()));
}

}  // namespace
}  // namespace talvo
