// The shell's decisions that need no desktop: the session's parts, the window at launch, the
// try-it box and the tray menu's rows.
#include "shell/desktop_session.h"
#include "shell/shell_rules.h"
#include "shell/status_menu.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(Session, WaylandWhenItAnswersAndX11OtherwiseSayingWhy) {
  using enum SessionKind;
  const QString dead = "the Wayland display does not answer";
  const struct {
    SessionFacts facts;
    SessionChoice expected;
  } cases[] = {
      {{true, true, true, true}, {sway, "wayland", {}}},
      {{true, true, false, true}, {wayland, "xcb", {}}},
      {{true, true, false, false}, {wayland, "wayland", {}}},
      {{true, false, true, true}, {x11, "xcb", dead}},
      {{true, false, false, false}, {none, {}, dead}},
      {{false, false, false, true}, {x11, "xcb", {}}},
      {{false, false, false, false}, {none, {}, {}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(chooseSession(c.facts), c.expected)
        << c.facts.waylandDisplaySet << c.facts.waylandReachable << c.facts.swayReachable
        << c.facts.xReachable;
}

TEST(ReadyMessage, NamesTheKeyOrTheCommandWhereTheKeyIsNotHeard) {
  EXPECT_EQ(readyMessage(HotkeyChoice::rightOption, HotkeyPath::desktopShortcut),
            "Ready. Hold Right Alt and talk.");
  EXPECT_EQ(readyMessage(HotkeyChoice::rightOption, HotkeyPath::commandOnly),
            "Ready. Press your shortcut for talvo --toggle and talk.");
}

TEST(WindowAtLaunch, SetUpUntilFinishedThenNoneAtLoginOrWithTheVariableSetToOne) {
  using enum LaunchWindow;
  const struct {
    bool onboarded, atLogin;
    QByteArray noWindow;
    LaunchWindow expected;
  } cases[] = {{true, false, {}, main},    {true, false, "1", none}, {true, false, "0", main},
               {true, false, "yes", main}, {true, true, {}, none},   {false, true, {}, setup},
               {false, false, "1", setup}};
  for (const auto& c : cases)
    EXPECT_EQ(launchWindow(c.onboarded, c.atLogin, c.noWindow), c.expected)
        << c.onboarded << c.atLogin << c.noWindow.toStdString();
}

TEST(TryIt, PiecesAreJoinedByOneBlank) {
  EXPECT_EQ(appendedToTryIt({}, "Hello there."), "Hello there.");
  EXPECT_EQ(appendedToTryIt("Hello there.", "Bye."), "Hello there. Bye.");
}

// A row as "text|shortcut|enabled", a separator as "-".
QStringList shown(const MenuFacts& facts) {
  QStringList out;
  for (const MenuRow& row : statusMenuRows(facts))
    out << (row.separator ? QStringLiteral("-")
                          : row.text + '|' + row.shortcut + (row.enabled ? "|on" : "|off"));
  return out;
}

TEST(StatusMenu, RowsFollowTheFacts) {
  const QString ready = QStringLiteral("Ready.");
  EXPECT_EQ(shown({ready, true, UpdateInfo{"1.3", "https://example.org/1.3", std::nullopt}, true,
                   true, "1.2"}),
            (QStringList{"Ready.||off", "-", "Copy last dictation|Ctrl+C|on",
                         "Update available: 1.3…||on", "Open Talvo…|Ctrl+,|on", "-",
                         "Talvo 1.2||off", "Quit Talvo|Ctrl+Q|on"}));
  const QStringList plain{"Ready.||off",           "-", "Copy last dictation|Ctrl+C|off",
                          "Open Talvo…|Ctrl+,|on", "-", "Talvo 1.2||off",
                          "Quit Talvo|Ctrl+Q|on"};
  EXPECT_EQ(shown({ready, false, std::nullopt, true, true, "1.2"}), plain);
  QStringList withSetUp = plain;
  withSetUp.insert(4, "Finish setup…||on");
  EXPECT_EQ(shown({ready, false, std::nullopt, false, true, "1.2"}), withSetUp) << "not set up";
  EXPECT_EQ(shown({ready, false, std::nullopt, true, false, "1.2"}), withSetUp)
      << "the microphone was lost";
}

}  // namespace
}  // namespace talvo
