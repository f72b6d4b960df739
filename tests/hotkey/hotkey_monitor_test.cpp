#include "hotkey/hotkey_monitor.h"
#include "support/log_capture.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;

// What the keyboard reports, set by the test, and how often it was asked.
struct KeyboardState {
  uint64_t flags = 0;
  KeySet down;
  int flagReads = 0, keyReads = 0;
};

struct ScriptedSampler final : KeyboardSampler {
  std::shared_ptr<KeyboardState> state;
  explicit ScriptedSampler(std::shared_ptr<KeyboardState> s) : state(std::move(s)) {}
  uint64_t flags() override { return ++state->flagReads, state->flags; }
  KeySet down() override { return ++state->keyReads, state->down; }
};

struct MonitorRig {
  std::shared_ptr<KeyboardState> keyboard = std::make_shared<KeyboardState>();
  std::vector<HotkeyEvent> events;
  HotkeyMonitor monitor;

  explicit MonitorRig(HotkeyChoice choice)
      : monitor(choice, [k = keyboard] { return std::make_unique<ScriptedSampler>(k); }) {
    monitor.onEvent = [this](const HotkeyEvent& e) { events.push_back(e); };
  }
};

// Long after a timer is due, one pass of the event loop fires it exactly once.
void oneLoopPassWellAfterATick() {
  QThread::msleep(static_cast<unsigned long>(HotkeyMonitor::intervalMs) * 4);
  QCoreApplication::processEvents();
}

TEST(HotkeyMonitor, ReadsKeysOnlyForTheChosenFlagOrAHold) {
  MonitorRig rig(HotkeyChoice::rightOption);
  rig.keyboard->flags = key_flags::shift;  // someone typing capitals: not our flag
  for (int i = 0; i < 20; ++i) rig.monitor.tick();
  EXPECT_EQ(rig.keyboard->keyReads, 0);
  EXPECT_TRUE(rig.events.empty());

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
  HotkeyMonitor monitor(HotkeyChoice::rightControl, [&] { return ++factoryCalls, std::unique_ptr<KeyboardSampler>(); });
  EXPECT_FALSE(monitor.start());
  EXPECT_FALSE(monitor.start());
  monitor.tick();  // harmless
  EXPECT_EQ(factoryCalls, 1);
  EXPECT_EQ(log.messages().size(), 1);
}

}  // namespace
}  // namespace talvo
