// Window rules on a real headless sway: a window matched as a panel floats, keeps out of
// the focus and goes where it is moved.
#include "desktop/sway_session.h"
#include "desktop/target_window.h"
#include "support/task_runner.h"
#include "sway/sway_ipc.h"
#include "sway/sway_rules.h"
#include "sway/sway_tree.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double windowSeconds = 10.0;

TEST(SwayRules, CriteriaMatchTheTextExactly) {
  EXPECT_EQ(sway::criteria("org.talvo.Talvo", "Talvo \"bar\"").toStdString(),
            R"([app_id="^org\.talvo\.Talvo$" title="^Talvo\ \x22bar\x22$"])");
}

TEST(SwayRules, APanelFloatsOutOfTheFocusWhereItIsMovedAndFocusGoesBack) {
  test::SwaySession session;
  ASSERT_EQ(session.problem(), "");
  QString why;
  const auto sway = sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why);
  ASSERT_TRUE(sway) << why.toStdString();
  // Given before any window exists, as the program gives them at its start.
  const QString panel = sway::criteria("org.talvo.test.Panel", "talvo_test_target");
  ASSERT_EQ(sway->run(sway::panelRules(panel)), "");
  test::TargetWindow target("wayland");
  ASSERT_EQ(target.ask("focus line"), "ok");
  ASSERT_TRUE(test::spinUntil([&] { return sway::firstWindowOf(*sway, target.pid()).has_value(); },
                              windowSeconds));

  test::TargetWindow bar("wayland", "org.talvo.test.Panel");
  std::optional<sway::Window> shown;
  ASSERT_TRUE(test::spinUntil(
      [&] { return (shown = sway::firstWindowOf(*sway, bar.pid())).has_value(); }, windowSeconds));
  EXPECT_TRUE(shown->floating);
  EXPECT_EQ(sway::focusedWindow(*sway).value_or(sway::Window{}).pid, target.pid());

  ASSERT_EQ(sway->run(sway::moveTo(panel, {100, 600})), "");
  EXPECT_EQ(sway::firstWindowOf(*sway, bar.pid())->frame.topLeft(), QPoint(100, 600));

  // A floating card takes the focus, and gives it back to the window that had it.
  ASSERT_EQ(sway->run(sway::floatingRule(sway::criteria("org.talvo.test.Card", "talvo_test_target"),
                                         false)),
            "");
  test::TargetWindow card("wayland", "org.talvo.test.Card");
  ASSERT_TRUE(test::spinUntil(
      [&] { return sway::focusedWindow(*sway).value_or(sway::Window{}).pid == card.pid(); },
      windowSeconds));
  EXPECT_TRUE(sway::focusedWindow(*sway).value_or(sway::Window{}).floating);
  ASSERT_EQ(sway->run(sway::focus(sway::firstWindowOf(*sway, target.pid())->id)), "");
  EXPECT_EQ(sway::focusedWindow(*sway).value_or(sway::Window{}).pid, target.pid());
}

}  // namespace
}  // namespace talvo
