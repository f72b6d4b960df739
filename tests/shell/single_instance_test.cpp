// One program per session, on a session bus of the test's own: a second start reaches
// the first through org.freedesktop.Application, and a shortcut drives its dictation
// through org.talvo.Talvo.
#include "shell/single_instance.h"
#include "support/task_runner.h"

#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double answerTimeout = 10.0;

TEST(SingleInstance, ASecondStartActivatesTheFirstAndCommandsReachIt) {
  QTemporaryDir dir;
  QProcess bus;  // ended when it goes out of scope
  bus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                            "--address=unix:path=" + dir.filePath("bus")});
  ASSERT_TRUE(test::spinUntil([&] { return bus.canReadLine(); }, answerTimeout))
      << "dbus-daemon did not start";
  const QString address = QString::fromUtf8(bus.readLine()).trimmed();

  SingleInstance first(QDBusConnection::connectToBus(address, "first"));
  int activations = 0;
  first.onActivate = [&] { ++activations; };
  ASSERT_EQ(first.claim(), SingleInstance::Claim::primary);
  const QDBusConnection other = QDBusConnection::connectToBus(address, "second");
  SingleInstance second(other);
  EXPECT_EQ(second.claim(), SingleInstance::Claim::secondary);
  QDBusPendingCallWatcher answer(activateRunning(other));
  ASSERT_TRUE(test::spinUntil([&] { return answer.isFinished(); }, answerTimeout));
  EXPECT_FALSE(answer.isError()) << answer.error().message().toStdString();
  EXPECT_EQ(activations, 1);

  std::vector<RemoteCommand> commands;
  first.onCommand = [&](RemoteCommand command) { commands.push_back(command); };
  for (RemoteCommand command : remoteCommands) {
    QDBusPendingCallWatcher done(commandRunning(other, command));
    ASSERT_TRUE(test::spinUntil([&] { return done.isFinished(); }, answerTimeout));
    EXPECT_FALSE(done.isError()) << done.error().message().toStdString();
  }
  EXPECT_EQ(commands, std::vector(remoteCommands.begin(), remoteCommands.end()));
}

TEST(SingleInstance, WithoutASessionBusTheProgramRunsAlone) {
  SingleInstance lone(
      QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
  EXPECT_EQ(lone.claim(), SingleInstance::Claim::alone);
}

}  // namespace
}  // namespace talvo
