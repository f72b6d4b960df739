// The talvo program started as a user would: without a display, and twice in one session.
#include "desktop/virtual_desktop.h"
#include "support/task_runner.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

#include <csignal>

namespace talvo {
namespace {

constexpr double startTimeout = 30.0;
constexpr int finishTimeoutMs = 30000;

QString logText() {
  QFile file(qEnvironmentVariable("XDG_DATA_HOME") + "/Talvo/talvo.log");
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(Program, WithoutADisplayItSaysWhyAndFails) {
  const struct {
    const char* wayland;
    const char* message;
  } cases[] = {
      {nullptr,
       "talvo: no display to show windows on; set WAYLAND_DISPLAY or DISPLAY, or use --replay "
       "DIR.\n"},
      {"talvo-nowhere",
       "talvo: no display to show windows on (the Wayland display does not answer); set "
       "WAYLAND_DISPLAY or DISPLAY, or use --replay DIR.\n"},
  };
  for (const auto& c : cases) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    if (c.wayland) environment.insert("WAYLAND_DISPLAY", c.wayland);
    QProcess talvo;
    talvo.setProcessEnvironment(environment);
    talvo.start(TALVO_PROGRAM, {});
    ASSERT_TRUE(talvo.waitForFinished(finishTimeoutMs));
    EXPECT_EQ(talvo.exitStatus(), QProcess::NormalExit) << "no crash";
    EXPECT_NE(talvo.exitCode(), 0);
    EXPECT_EQ(talvo.readAllStandardError(), c.message);
  }
}

TEST(Program, ALoginStartStaysInTheTrayASecondShowsItAndATerminationSignalQuitsInOrder) {
  QSettings(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Talvo/Talvo.ini", QSettings::IniFormat)
      .setValue("onboarded", true);
  QProcess first;
  first.start(TALVO_PROGRAM, {"--autostart"});
  ASSERT_TRUE(test::spinUntil([] { return logText().contains("launched, "); }, startTimeout))
      << logText().toStdString();
  EXPECT_FALSE(logText().contains("shown: ")) << "a login start opens no window";

  QProcess second;
  second.start(TALVO_PROGRAM, {});
  ASSERT_TRUE(second.waitForFinished(finishTimeoutMs));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(
      test::spinUntil([] { return logText().contains("shown: main window"); }, startTimeout));
  EXPECT_EQ(logText().count("launched, "), 1) << "the second start launched nothing";

  ::kill(pid_t(first.processId()), SIGTERM);
  ASSERT_TRUE(test::spinUntil([&] { return first.state() == QProcess::NotRunning; }, startTimeout));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_TRUE(logText().contains("  quit\n")) << "the log is written out before the end";
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  // No sound server for these runs: nothing may start one behind the test's back.
  qputenv("PULSE_SERVER", "unix:/nonexistent/pulse");
  return talvo::test::runInVirtualDesktop(argc, argv, {.accessibility = true}, [&] {
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
  });
}
