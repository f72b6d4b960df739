// The monitor against a real X server, with keys sent through XTest.
#include "desktop/desktop_main.h"
#include "desktop/x_keyboard.h"
#include "hotkey/hotkey_monitor.h"
#include "support/task_runner.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <vector>

namespace talvo {
namespace {

using namespace hotkey_event;

constexpr double eventTimeout = 5.0;

struct Case {
  HotkeyChoice choice;
  std::vector<const char*> keysyms;  // the first the server knows is used
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.keysyms.front(); }

class HotkeyOnDesktop : public ::testing::TestWithParam<Case> {
protected:
  void SetUp() override {
    ASSERT_TRUE(keyboard.ok());
    for (const char* sym : GetParam().keysyms)
      if (keyboard.press(sym)) {
        keyboard.release(sym);
        key = sym;
        break;
      }
    ASSERT_NE(key, nullptr) << "no keycode for the hotkey";
    monitor.onEvent = [this](const HotkeyEvent& e) { events.push_back(e); };
    monitor.start();
    ASSERT_TRUE(monitor.isSampling());
    test::spinFor(0.05);
    events.clear();
  }
  void TearDown() override {
    if (key) keyboard.release(key);
  }

  bool waitForEvents(size_t count) {
    return test::spinUntil([&] { return events.size() >= count; }, eventTimeout);
  }
  void tapKey() {
    size_t before = events.size();
    keyboard.press(key);
    ASSERT_TRUE(waitForEvents(before + 1));
    keyboard.release(key);
    ASSERT_TRUE(waitForEvents(before + 2));
  }

  test::XKeyboard keyboard;
  const char* key = nullptr;
  HotkeyMonitor monitor{GetParam().choice};
  std::vector<HotkeyEvent> events;
};

TEST_P(HotkeyOnDesktop, HoldThenRelease) {
  keyboard.press(key);
  ASSERT_TRUE(waitForEvents(1));
  test::spinFor(0.4);
  keyboard.release(key);
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_EQ(events[0], HotkeyEvent(Pressed{}));
  ASSERT_TRUE(std::holds_alternative<Released>(events[1]));
  EXPECT_GE(std::get<Released>(events[1]).held, 0.3);
}

TEST_P(HotkeyOnDesktop, TapIsTooShort) {
  tapKey();
  EXPECT_EQ(events, (std::vector<HotkeyEvent>{Pressed{}, Aborted{AbortReason::tooShort}}));
}

TEST_P(HotkeyOnDesktop, DoubleTapLocksAndNextTapReleases) {
  tapKey();
  tapKey();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[3], HotkeyEvent(Locked{}));
  test::spinFor(0.1);
  keyboard.press(key);
  test::spinFor(0.1);
  keyboard.release(key);
  ASSERT_TRUE(waitForEvents(5));
  EXPECT_TRUE(std::holds_alternative<Released>(events[4]));
}

TEST_P(HotkeyOnDesktop, EscCancelsAHold) {
  keyboard.press(key);
  ASSERT_TRUE(waitForEvents(1));
  // Sampled, not subscribed: a key must stay down for a tick to be seen, as real ones do.
  keyboard.press("Escape");
  ASSERT_TRUE(waitForEvents(2));
  keyboard.release("Escape");
  keyboard.release(key);
  test::spinFor(0.1);
  EXPECT_EQ(events, (std::vector<HotkeyEvent>{Pressed{}, Aborted{AbortReason::cancelled}}));
}

TEST_P(HotkeyOnDesktop, AnotherKeyMakesACombo) {
  keyboard.press(key);
  ASSERT_TRUE(waitForEvents(1));
  keyboard.press("a");
  ASSERT_TRUE(waitForEvents(2));
  keyboard.release("a");
  keyboard.release(key);
  test::spinFor(0.1);
  EXPECT_EQ(events, (std::vector<HotkeyEvent>{Pressed{}, Aborted{AbortReason::combo}}));
}

TEST_P(HotkeyOnDesktop, TheLeftHandKeyDoesNothing) {
  const char* left = GetParam().choice == HotkeyChoice::rightControl ? "Control_L" : "Alt_L";
  keyboard.press(left);
  test::spinFor(0.2);
  keyboard.release(left);
  test::spinFor(0.05);
  EXPECT_TRUE(events.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, HotkeyOnDesktop,
                         ::testing::Values(Case{HotkeyChoice::rightControl, {"Control_R"}},
                                           Case{HotkeyChoice::rightOption,
                                                {"Alt_R", "ISO_Level3_Shift"}}),
                         [](const auto& info) {
                           return info.param.choice == HotkeyChoice::rightControl
                                      ? std::string("RightControl")
                                      : std::string("RightAlt");
                         });

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  return talvo::test::runInVirtualDesktop(argc, argv, {}, [&] {
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
  });
}
