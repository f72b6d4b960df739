// Finding windows in the compositor's tree: from trees as sway writes them and from broken
// ones, then from a real headless sway with a native Wayland window.
#include "desktop/sway_session.h"
#include "desktop/target_window.h"
#include "support/task_runner.h"
#include "sway/sway_ipc.h"
#include "sway/sway_tree.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double windowSeconds = 10.0;

// An output's workspace holding one tiled native window (pid 10) and one floating X11 one
// (pid 20); the flags say which of them has the focus.
QByteArray tree(bool nativeFocused, bool x11Focused) {
  return QStringLiteral(R"({"type": "root", "nodes": [{"type": "output", "nodes": [
    {"type": "workspace", "focused": false, "nodes": [
      {"type": "con", "id": 4, "pid": 10, "focused": %1, "shell": "xdg_shell", "app_id": "foot",
       "name": "~", "rect": {"x": 0, "y": 30, "width": 640, "height": 770},
       "window_rect": {"x": 2, "y": 24, "width": 636, "height": 744}}],
     "floating_nodes": [
      {"type": "floating_con", "id": 7, "pid": 20, "focused": %2, "shell": "xwayland", "app_id": null,
       "name": "xterm", "window_properties": {"class": "XTerm"},
       "rect": {"x": 700, "y": 100, "width": 300, "height": 200}}]}]}]})")
      .arg(nativeFocused ? "true" : "false", x11Focused ? "true" : "false")
      .toUtf8();
}

TEST(SwayTree, FindsTheFocusedWindowAndAProcesssWindow) {
  const sway::Window native{4, 10, "foot", "~", QRect(0, 30, 640, 770), false, false, {2, 24}};
  const sway::Window x11{7, 20, "XTerm", "xterm", QRect(700, 100, 300, 200), true, true, {}};
  const struct {
    const char* name;
    QByteArray tree;
    std::optional<sway::Window> focused;
  } cases[] = {
      {"native", tree(true, false), native},
      {"floating X11", tree(false, true), x11},
      {"a workspace", tree(false, false), std::nullopt},
      {"no tree", "[1, 2", std::nullopt},
      {"a list", "[]", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(sway::focusedIn(c.tree), c.focused) << c.name;
  EXPECT_EQ(sway::firstOfProcessIn(tree(true, false), 20), x11);
  EXPECT_EQ(sway::firstOfProcessIn(tree(true, false), 30), std::nullopt);
}

TEST(SwayTree, ANativeWindowIsFocusedWithItsProcessAndPlace) {
  test::SwaySession session;
  ASSERT_EQ(session.problem(), "");
  test::TargetWindow target("wayland");
  ASSERT_EQ(target.ask("focus line"), "ok");
  QString why;
  const auto connection = sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why);
  ASSERT_TRUE(connection) << why.toStdString();

  std::optional<sway::Window> focused;
  ASSERT_TRUE(test::spinUntil(
      [&] { return (focused = sway::focusedWindow(*connection)) && focused->pid == target.pid(); },
      windowSeconds));
  EXPECT_FALSE(focused->xwayland);
  EXPECT_FALSE(focused->frame.isEmpty());
  // Only the identity: the frame may still settle while a new window gets its title bar.
  EXPECT_EQ(sway::firstWindowOf(*connection, target.pid())->id, focused->id);
}

}  // namespace
}  // namespace talvo
