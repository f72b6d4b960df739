// The monitor and its X11 sampler against a real X server, with keys sent through XTest.
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "hotkey/hotkey_monitor.h"
#include "support/task_runner.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;

struct Key {
  const char* name;
  HotkeyChoice choice;
  std::vector<const char*> keysyms;  // the first the server knows is used
  const char* leftHandKey;
};

// One key change at a time, then one sample at a clock the test sets. "KEY" stands for the
// hotkey, "LEFT" for its left-hand twin. The machine's timing rules have tests of their own;
// these are about reading the keys.
struct KeyStep {
  double at;
  bool down;
  const char* key;
  std::optional<HotkeyEvent> expected;
};
struct Gesture {
  const char* name;
  std::vector<KeyStep> steps;
};

const Key keys[] = {
    {"RightControl", HotkeyChoice::rightControl, {"Control_R"}, "Control_L"},
    {"RightAlt", HotkeyChoice::rightOption, {"Alt_R", "ISO_Level3_Shift"}, "Alt_L"}};

const Gesture gestures[] = {
    {"HoldThenRelease", {{0, true, "KEY", Pressed{}}, {0.5, false, "KEY", Released{0.5}}}},
    {"TapIsTooShort",
     {{0, true, "KEY", Pressed{}}, {0.125, false, "KEY", Aborted{AbortReason::tooShort}}}},
    {"EscCancelsAHold",
     {{0, true, "KEY", Pressed{}},
      {0.25, true, "Escape", Aborted{AbortReason::cancelled}},
      {0.5, false, "Escape", {}},
      {0.75, false, "KEY", {}}}},
    {"AnotherKeyMakesACombo",
     {{0, true, "KEY", Pressed{}},
      {0.25, true, "a", Aborted{AbortReason::combo}},
      {0.5, false, "a", {}},
      {0.75, false, "KEY", {}}}},
    {"TheLeftHandKeyDoesNothing", {{0, true, "LEFT", {}}, {0.5, false, "LEFT", {}}}},
};

class HotkeyOnDesktop : public ::testing::TestWithParam<std::tuple<Key, Gesture>> {
protected:
  void SetUp() override {
    for (auto sym = key().keysyms.begin(); !hotkey && sym != key().keysyms.end(); ++sym)
      if (keyboard.release(*sym)) hotkey = *sym;
    ASSERT_NE(hotkey, nullptr) << "no keycode for the hotkey";
    monitor.onEvent = [this](const HotkeyEvent& e) { events.push_back(e); };
  }
  void TearDown() override {
    for (const char* sym : {hotkey, key().leftHandKey, "Escape", "a"})
      if (sym) keyboard.release(sym);
  }

  static const Key& key() { return std::get<0>(GetParam()); }
  const char* keysym(const char* placeholder) const {
    if (placeholder == std::string("KEY")) return hotkey;
    if (placeholder == std::string("LEFT")) return key().leftHandKey;
    return placeholder;
  }

  test::XKeyboard keyboard;
  const char* hotkey = nullptr;
  double now = 0;
  HotkeyMonitor monitor{key().choice, makeX11KeyboardSampler, [this] { return now; }};
  std::vector<HotkeyEvent> events;
};

TEST_P(HotkeyOnDesktop, Gesture) {
  for (const KeyStep& step : std::get<1>(GetParam()).steps) {
    // XTest keys are in the server's state once sent, so the next sample sees them.
    ASSERT_TRUE(step.down ? keyboard.press(keysym(step.key)) : keyboard.release(keysym(step.key)));
    now = step.at;
    events.clear();
    monitor.tick();
    EXPECT_EQ(events.empty() ? std::nullopt : std::optional(events.back()), step.expected)
        << "at t=" << step.at;
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, HotkeyOnDesktop,
                         ::testing::Combine(::testing::ValuesIn(keys),
                                            ::testing::ValuesIn(gestures)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  std::get<1>(info.param).name;
                         });

// Started, the monitor samples only while keys are in play; the key change itself wakes it.
TEST(HotkeyMonitorOnDesktop, RestsWhileIdleAndAKeyChangeWakesIt) {
  test::XKeyboard keyboard;
  ASSERT_TRUE(keyboard.release("Control_R"));
  double now = 0;
  HotkeyMonitor monitor{HotkeyChoice::rightControl, makeX11KeyboardSampler, [&] { return now; }};
  std::vector<HotkeyEvent> events;
  monitor.onEvent = [&](const HotkeyEvent& e) { events.push_back(e); };
  ASSERT_TRUE(monitor.start());
  ASSERT_TRUE(test::spinUntil([&] { return !monitor.polling(); }))
      << "no rest with nothing pressed";
  test::spinFor(0.5);
  EXPECT_FALSE(monitor.polling());

  ASSERT_TRUE(keyboard.press("Control_R"));
  ASSERT_TRUE(test::spinUntil([&] { return !events.empty(); })) << "the press was missed";
  EXPECT_EQ(events, std::vector<HotkeyEvent>{Pressed{}});
  EXPECT_TRUE(monitor.polling()) << "a held key is sampled";

  now = 0.5;
  ASSERT_TRUE(keyboard.release("Control_R"));
  ASSERT_TRUE(test::spinUntil([&] { return events.size() == 2; })) << "the release was missed";
  EXPECT_EQ(events.back(), HotkeyEvent{Released{0.5}});
  EXPECT_TRUE(test::spinUntil([&] { return !monitor.polling(); })) << "no rest after the release";
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  return talvo::test::runInVirtualDesktop(argc, argv, {}, [&] {
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
  });
}
