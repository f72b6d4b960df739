// The virtual keyboard against a real headless sway: the paste keystroke reaches a native
// Wayland Qt window and pastes what the Wayland clipboard holds. And the connection that the
// keyboard and the clipboard share, without a compositor.
#include "desktop/sway_session.h"
#include "desktop/target_window.h"
#include "insertion/wayland_clipboard.h"
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

// The keyboard and the clipboard share the connection step; neither half-opens.
TEST(WaylandConnection, WithoutACompositorNeitherOpensAndEachSaysWhy) {
  qputenv("WAYLAND_DISPLAY", "wayland-nowhere");
  QString keyboardWhy;
  QString clipboardWhy;
  EXPECT_EQ(WaylandKeyboard::open(keyboardWhy), nullptr);
  EXPECT_EQ(WaylandClipboard::open(clipboardWhy), nullptr);
  EXPECT_EQ(keyboardWhy.toStdString(), "no Wayland compositor to connect to");
  EXPECT_EQ(clipboardWhy, keyboardWhy);
}

}  // namespace
}  // namespace talvo
