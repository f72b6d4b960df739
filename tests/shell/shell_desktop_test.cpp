// The whole shell on a virtual desktop with a window manager and a session bus: which
// windows a launch opens, and the main window's life. No sound server: the microphone
// stays unavailable, which the shell must survive.
#include "desktop/virtual_desktop.h"
#include "model/app_model.h"
#include "shell/shell.h"
#include "storage/preferences.h"
#include "storage/settings_store.h"
#include "support/task_runner.h"
#include "widgets/look.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double pollStopTimeout = 10.0;

// "title WxH" of every shown top-level window with a title.
QStringList shownWindows() {
  QStringList shown;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !w->windowTitle().isEmpty())
      shown << QStringLiteral("%1 %2x%3").arg(w->windowTitle()).arg(w->width()).arg(w->height());
  shown.sort();
  return shown;
}

struct LaunchCase {
  const char* name;
  bool onboarded;
  bool atLogin;
  QByteArray noWindow;
  QStringList shown;
};
void PrintTo(const LaunchCase& c, std::ostream* out) { *out << c.name; }

const QString mainWindow = QStringLiteral("Talvo 760x520");
const QString setupWindow = QStringLiteral("Set up Talvo 520x440");

class Launch : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(Launch, OpensTheWindowItShould) {
  const LaunchCase& c = GetParam();
  Preferences(std::make_shared<QSettingsStore>()).setOnboarded(c.onboarded);
  Shell shell({c.atLogin, c.noWindow, nullptr, nullptr});
  shell.start();
  EXPECT_EQ(shownWindows(), c.shown) << "windows are shown during start, not later";
}

INSTANTIATE_TEST_SUITE_P(
    Shell, Launch,
    ::testing::Values(LaunchCase{"User", true, false, {}, {mainWindow}},
                      LaunchCase{"NoWindow", true, false, "1", {}},
                      LaunchCase{"Login", true, true, {}, {}},
                      LaunchCase{"FirstLoginLaunch", false, true, "1", {setupWindow}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shell, TheMainWindowOpensAgainAfterClosingAndSetUpReplacesItsWindow) {
  Preferences(std::make_shared<QSettingsStore>()).setOnboarded(true);
  Shell shell({false, "1", nullptr, nullptr});
  shell.start();
  shell.openMain();
  ASSERT_EQ(shownWindows(), QStringList{mainWindow});
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) w->close();
  EXPECT_TRUE(shownWindows().isEmpty()) << "closing hides the window and its task-bar entry";
  shell.openMain();
  EXPECT_EQ(shownWindows(), QStringList{mainWindow});
  shell.runSetup();
  shell.runSetup();
  EXPECT_EQ(shownWindows(), (QStringList{setupWindow, mainWindow}));
}

TEST(Shell, AHotkeyChangeReadsReadyForTheNewKey) {
  Shell shell({true, {}, nullptr, nullptr});
  shell.start();
  shell.model().setHotkey(HotkeyChoice::rightOption);
  EXPECT_EQ(shell.model().status(), "Ready. Hold Right Alt and talk.");
  shell.model().setHotkey(HotkeyChoice::rightControl);
}

TEST(Shell, FinishingSetUpMarksItAndOpensTheMainWindow) {
  Preferences(std::make_shared<QSettingsStore>()).setOnboarded(false);
  Shell shell({false, {}, nullptr, nullptr});
  shell.start();
  shell.model().finishSetup();
  EXPECT_TRUE(Preferences(std::make_shared<QSettingsStore>()).onboarded());
  EXPECT_TRUE(shownWindows().contains(mainWindow));
}

TEST(Shell, ThePollRunsWhileAWindowIsShown) {
  Preferences(std::make_shared<QSettingsStore>()).setOnboarded(true);
  LaunchOptions options{true, {}, nullptr, nullptr};
  options.pollIntervalMs = 10;
  Shell shell(options);
  shell.start();
  EXPECT_FALSE(shell.polling());
  shell.openMain();
  EXPECT_TRUE(shell.polling());
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) w->close();
  EXPECT_TRUE(test::spinUntil([&] { return !shell.polling(); }, pollStopTimeout));
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  // No sound server for this test: nothing may start one behind its back.
  qputenv("PULSE_SERVER", "unix:/nonexistent/pulse");
  return talvo::test::runInVirtualDesktop(argc, argv, {.accessibility = true, .windowManager = true}, [&] {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    talvo::look::useIconTheme();
    return RUN_ALL_TESTS();
  });
}
