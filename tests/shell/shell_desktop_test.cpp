// The whole shell on a virtual desktop with a window manager and a session bus: which
// windows a launch opens, and the windows' life. No sound server: the microphone stays
// unavailable, which the shell must survive.
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
const QString mainWindow = QStringLiteral("Talvo 760x520");
const QString setupWindow = QStringLiteral("Set up Talvo 520x440");

// "title WxH" of every shown top-level window with a title.
QStringList shownWindows() {
  QStringList shown;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !w->windowTitle().isEmpty())
      shown << QStringLiteral("%1 %2x%3").arg(w->windowTitle()).arg(w->width()).arg(w->height());
  shown.sort();
  return shown;
}

TEST(Shell, ALaunchOpensItsWindowDuringStart) {
  const struct {
    bool onboarded = false, atLogin = false;
    QStringList shown;
  } cases[] = {{true, false, {mainWindow}}, {true, true, {}}, {false, true, {setupWindow}}};
  for (const auto& c : cases) {
    Preferences(std::make_shared<QSettingsStore>()).setOnboarded(c.onboarded);
    Shell shell({c.atLogin, {}, nullptr, nullptr});
    shell.start();
    EXPECT_EQ(shownWindows(), c.shown) << c.onboarded << c.atLogin;
  }
}

TEST(Shell, WindowsComeBackAfterClosingAndThePollRunsOnlyWhileOneIsShown) {
  Preferences(std::make_shared<QSettingsStore>()).setOnboarded(false);
  LaunchOptions options{true, {}, nullptr, nullptr};
  options.pollIntervalMs = 10;
  Shell shell(options);
  shell.start();
  shell.runSetup();
  EXPECT_EQ(shownWindows(), QStringList{setupWindow}) << "set-up replaces its window";
  EXPECT_TRUE(shell.polling());
  shell.model().setHotkey(HotkeyChoice::rightOption);
  EXPECT_EQ(shell.model().status(), "Ready. Hold Right Alt and talk.");
  shell.model().setHotkey(HotkeyChoice::rightControl);
  shell.model().finishSetup();
  EXPECT_TRUE(Preferences(std::make_shared<QSettingsStore>()).onboarded());
  EXPECT_EQ(shownWindows(), (QStringList{setupWindow, mainWindow}));
  for (QWidget* w : QApplication::topLevelWidgets()) w->close();
  EXPECT_TRUE(shownWindows().isEmpty()) << "closing hides a window and its task-bar entry";
  EXPECT_TRUE(test::spinUntil([&] { return !shell.polling(); }, pollStopTimeout));
  shell.openMain();
  EXPECT_EQ(shownWindows(), QStringList{mainWindow});
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  // No sound server for this test: nothing may start one behind its back.
  qputenv("PULSE_SERVER", "unix:/nonexistent/pulse");
  return talvo::test::runInVirtualDesktop(argc, argv,
                                          {.accessibility = true, .windowManager = true}, [&] {
                                            QApplication app(argc, argv);
                                            QApplication::setQuitOnLastWindowClosed(false);
                                            talvo::look::useIconTheme();
                                            return RUN_ALL_TESTS();
                                          });
}
