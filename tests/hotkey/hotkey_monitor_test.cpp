#include "hotkey/hotkey_monitor.h"
#include "support/log_capture.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;

// What the keyboard reports, set by the test, and how often it was asked.
struct KeyboardState {
  uint64_t flags = 0;
  KeySet down;
  bool lost = false;
  int flagReads = 0, keyReads = 0;
};

// Stands in for the server's key notices: a byte written is a key change.
struct WakePipe {
  int ends[2]{-1, -1};
  WakePipe() { EXPECT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0); }
  ~WakePipe() {
    for (int end : ends) close(end);
  }
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  void signal() const { EXPECT_EQ(write(ends[1], "k", 1), 1); }
  bool drain() const {
    char bytes[16];
    bool any = false;
    while (read(ends[0], bytes, sizeof bytes) > 0) any = true;
    return any;
  }
};

struct ScriptedSampler final : KeyboardSampler {
  std::shared_ptr<KeyboardState> state;
  std::shared_ptr<WakePipe> wakes;  // null: no key notices, so sampling never rests
  ScriptedSampler(std::shared_ptr<KeyboardState> s, std::shared_ptr<WakePipe> w)
      : state(std::move(s)), wakes(std::move(w)) {}
  uint64_t flags() override { return ++state->flagReads, state->flags; }
  KeySet down() override { return ++state->keyReads, state->down; }
  int wakeDescriptor() const override { return wakes ? wakes->ends[0] : -1; }
  bool drainWakes() override { return wakes && wakes->drain(); }
  bool lost() const override { return state->lost; }
};

struct MonitorRig {
  std::shared_ptr<KeyboardState> keyboard = std::make_shared<KeyboardState>();
  std::shared_ptr<WakePipe> wakes;
  double now = 0;
  std::vector<HotkeyEvent> events;
  HotkeyMonitor monitor;

  explicit MonitorRig(HotkeyChoice choice, bool withWakes = false)
      : wakes(withWakes ? std::make_shared<WakePipe>() : nullptr),
        monitor(
            choice, [k = keyboard, w = wakes] { return std::make_unique<ScriptedSampler>(k, w); },
            [this] { return now; }) {
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

// One key change (with or without its notice), then two loop passes well after a tick: the
// event they bring, and whether sampling still runs afterwards.
struct WakeStep {
  double at;
  uint64_t flags;
  KeySet down;
  bool notice;
  std::optional<HotkeyEvent> expected;
  bool polling;
};
struct WakeCase {
  const char* name;
  bool withWakes;
  std::vector<WakeStep> steps;
  friend void PrintTo(const WakeCase& c, std::ostream* out) { *out << c.name; }
};

const KeySet rightControl{key_codes::rightControl};
const KeySet escape{key_codes::escape};
constexpr uint64_t control = key_flags::control;

const WakeCase wakeCases[] = {
    {"AHoldIsSampledUntilItsReleaseThenSamplingRests",
     true,
     {{0, 0, {}, false, {}, false},
      {1, control, rightControl, true, Pressed{}, true},
      {1.5, 0, {}, false, Released{0.5}, false}}},
    {"ALockIsSampledUntilEscThoughNoNoticeComes",
     true,
     {{0, control, rightControl, true, Pressed{}, true},
      {0.1, 0, {}, true, Aborted{AbortReason::tooShort}, false},
      {0.2, control, rightControl, true, Pressed{}, true},
      {0.3, 0, {}, true, Locked{}, true},
      {5, 0, escape, false, Aborted{AbortReason::cancelled}, false}}},
    {"TheChosenModifierAloneKeepsSamplingAwake",
     true,
     {{0, control | key_flags::shift, rightControl, true, {}, true},
      {1, control, rightControl, false, Pressed{}, true}}},
    {"WithoutNoticesSamplingNeverRests",
     false,
     {{0, 0, {}, false, {}, true}, {1, control, rightControl, false, Pressed{}, true}}},
};

class HotkeyMonitorWakes : public ::testing::TestWithParam<WakeCase> {};

TEST_P(HotkeyMonitorWakes, Steps) {
  MonitorRig rig(HotkeyChoice::rightControl, GetParam().withWakes);
  ASSERT_TRUE(rig.monitor.start());
  for (const WakeStep& step : GetParam().steps) {
    rig.keyboard->flags = step.flags;
    rig.keyboard->down = step.down;
    rig.now = step.at;
    if (step.notice) rig.wakes->signal();
    rig.events.clear();
    oneLoopPassWellAfterATick();
    oneLoopPassWellAfterATick();
    EXPECT_EQ(rig.events.empty() ? std::nullopt : std::optional(rig.events.back()), step.expected)
        << "at t=" << step.at;
    EXPECT_EQ(rig.monitor.polling(), step.polling) << "at t=" << step.at;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HotkeyMonitorWakes, ::testing::ValuesIn(wakeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HotkeyMonitor, AtRestNothingIsSampledAndStopSilencesNotices) {
  MonitorRig rig(HotkeyChoice::rightControl, true);
  ASSERT_TRUE(rig.monitor.start());
  oneLoopPassWellAfterATick();
  oneLoopPassWellAfterATick();
  EXPECT_EQ(rig.keyboard->flagReads, 1) << "one look at start, then rest";

  rig.monitor.stop();
  rig.wakes->signal();
  oneLoopPassWellAfterATick();
  EXPECT_EQ(rig.keyboard->flagReads, 1) << "a stopped monitor samples nothing";
}

TEST(HotkeyMonitor, ASourceThatGoesAwayStopsItAndSaysSo) {
  MonitorRig rig(HotkeyChoice::rightControl, true);
  int lost = 0;
  rig.monitor.onLost = [&] { ++lost; };
  ASSERT_TRUE(rig.monitor.start());
  rig.keyboard->lost = true;
  rig.wakes->signal();
  oneLoopPassWellAfterATick();
  rig.wakes->signal();
  oneLoopPassWellAfterATick();
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(rig.monitor.polling());
}

TEST(HotkeyMonitor, WithoutAKeyboardItStaysOffAndSaysSoOnce) {
  test::LogCapture log;
  int factoryCalls = 0;
  HotkeyMonitor monitor(HotkeyChoice::rightControl,
                        [&] { return ++factoryCalls, std::unique_ptr<KeyboardSampler>(); });
  EXPECT_FALSE(monitor.start());
  EXPECT_FALSE(monitor.start());
  monitor.tick();  // harmless
  EXPECT_EQ(factoryCalls, 1);
  EXPECT_EQ(log.messages().size(), 1);
}

}  // namespace
}  // namespace talvo
