// The shell's decisions that need no desktop: which window opens at launch, the ready
// message, and the tray menu's rows.
#include "shell/shell_rules.h"
#include "shell/status_menu.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace talvo {
namespace {

struct WindowCase {
  const char* name;
  bool onboarded;
  bool atLogin;
  QByteArray noWindow;
  LaunchWindow expected;
};
void PrintTo(const WindowCase& c, std::ostream* out) { *out << c.name; }

class WindowAtLaunch : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowAtLaunch, FollowsSetUpLoginAndTheVariable) {
  const WindowCase& c = GetParam();
  EXPECT_EQ(launchWindow(c.onboarded, c.atLogin, c.noWindow), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Launches, WindowAtLaunch,
    ::testing::Values(WindowCase{"UserLaunch", true, false, {}, LaunchWindow::main},
                      WindowCase{"NoWindowOne", true, false, "1", LaunchWindow::none},
                      WindowCase{"NoWindowOtherValue", true, false, "yes", LaunchWindow::main},
                      WindowCase{"NoWindowZero", true, false, "0", LaunchWindow::main},
                      WindowCase{"LoginLaunch", true, true, {}, LaunchWindow::none},
                      WindowCase{"LoginLaunchWhateverTheVariable", true, true, "0", LaunchWindow::none},
                      WindowCase{"NotOnboarded", false, false, {}, LaunchWindow::setup},
                      WindowCase{"NotOnboardedAtLogin", false, true, {}, LaunchWindow::setup},
                      WindowCase{"NotOnboardedNoWindow", false, false, "1", LaunchWindow::setup}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadyMessage, NamesTheKeyAsThisDesktopCallsIt) {
  EXPECT_EQ(readyMessage(HotkeyChoice::rightControl), "Ready. Hold Right Control and talk.");
  EXPECT_EQ(readyMessage(HotkeyChoice::rightOption), "Ready. Hold Right Alt and talk.");
  EXPECT_EQ(readyMessage(HotkeyChoice::rightCommand), "Ready. Hold Right Super and talk.");
}

TEST(TryIt, PiecesAreJoinedByOneBlank) {
  EXPECT_EQ(appendedToTryIt({}, "Hello there."), "Hello there.");
  EXPECT_EQ(appendedToTryIt("Hello there.", "Bye."), "Hello there. Bye.");
}

// A row as "text|shortcut|enabled", a separator as "-".
QStringList shown(const std::vector<MenuRow>& rows) {
  QStringList out;
  for (const MenuRow& row : rows)
    out << (row.separator ? QStringLiteral("-")
                          : QStringLiteral("%1|%2|%3").arg(row.text, row.shortcut, row.enabled ? "on" : "off"));
  return out;
}

struct MenuCase {
  const char* name;
  MenuFacts facts;
  QStringList rows;
};
void PrintTo(const MenuCase& c, std::ostream* out) { *out << c.name; }

class StatusMenu : public ::testing::TestWithParam<MenuCase> {};

TEST_P(StatusMenu, RowsFollowTheFacts) { EXPECT_EQ(shown(statusMenuRows(GetParam().facts)), GetParam().rows); }

const QString ready = QStringLiteral("Ready. Hold Right Control and talk.");

INSTANTIATE_TEST_SUITE_P(
    Facts, StatusMenu,
    ::testing::Values(
        MenuCase{"SetUpAndNothingDictated",
                 {ready, false, std::nullopt, true, true, "1.2"},
                 {ready + "||off", "-", "Copy last dictation|Ctrl+C|off", "Open Talvo…|Ctrl+,|on", "-",
                  "Talvo 1.2||off", "Quit Talvo|Ctrl+Q|on"}},
        MenuCase{"LastTextAndAnUpdate",
                 {ready, true, UpdateInfo{"1.3", "https://example.org/1.3", std::nullopt}, true, true, "1.2"},
                 {ready + "||off", "-", "Copy last dictation|Ctrl+C|on", "Update available: 1.3…||on",
                  "Open Talvo…|Ctrl+,|on", "-", "Talvo 1.2||off", "Quit Talvo|Ctrl+Q|on"}},
        MenuCase{"NotOnboarded",
                 {{}, false, std::nullopt, false, true, "dev"},
                 {"||off", "-", "Copy last dictation|Ctrl+C|off", "Open Talvo…|Ctrl+,|on", "Finish setup…||on", "-",
                  "Talvo dev||off", "Quit Talvo|Ctrl+Q|on"}},
        MenuCase{"MicrophoneLostAfterSetUp",
                 {ready, false, std::nullopt, true, false, "1.2"},
                 {ready + "||off", "-", "Copy last dictation|Ctrl+C|off", "Open Talvo…|Ctrl+,|on", "Finish setup…||on",
                  "-", "Talvo 1.2||off", "Quit Talvo|Ctrl+Q|on"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
