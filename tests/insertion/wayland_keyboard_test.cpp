// The virtual keyboard against a real headless sway: the paste keystroke reaches a native
// Wayland Qt window and pastes what the Wayland clipboard holds.
#include "desktop/sway_session.h"
#include "desktop/target_window.h"
#include "insertion/wayland_keyboard.h"
#include "support/task_runner.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr int attempts = 5;
// Per attempt: the window may still be on its way to the focus.
constexpr double pasteSeconds = 2.0;

TEST(WaylandKeyboard, ThePasteKeysReachANativeWindow) {
  test::SwaySession session;
  ASSERT_EQ(session.problem(), "");
  QString why;
  // The first client of the seat: a seat has no keyboard until one joins it.
  const auto keyboard = WaylandKeyboard::open(why);
  ASSERT_TRUE(keyboard) << why.toStdString();
  test::TargetWindow target("wayland");
  ASSERT_EQ(target.ask("focus line"), "ok");
  const QString words = "pasted through the compositor";
  ASSERT_EQ(QProcess::execute("wl-copy", {words}), 0);

  bool pasted = false;
  for (int i = 0; i < attempts && !pasted; ++i) {
    ASSERT_EQ(target.ask("clear"), "ok");
    ASSERT_TRUE(keyboard->press(PasteKeys::ctrlV));
    pasted = test::spinUntil([&] { return target.field("line") == words; }, pasteSeconds);
  }
  EXPECT_TRUE(pasted) << target.field("line").toStdString();
}

TEST(WaylandKeyboard, WithoutACompositorThereIsNoneAndItSaysWhy) {
  qputenv("WAYLAND_DISPLAY", "wayland-nowhere");
  QString why;
  EXPECT_EQ(WaylandKeyboard::open(why), nullptr);
  EXPECT_EQ(why.toStdString(), "no Wayland compositor to connect to");
}

}  // namespace
}  // namespace talvo
