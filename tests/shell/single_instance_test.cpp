// One program per session, on a session bus of the test's own: a second start reaches
// the first through org.freedesktop.Application.
#include "shell/single_instance.h"
#include "support/task_runner.h"

#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double answerTimeout = 10.0;

class PrivateBus : public ::testing::Test {
protected:
  void SetUp() override {
    daemon.setStandardInputFile(QProcess::nullDevice());
    daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                 "--address=unix:path=" + dir.filePath("bus")});
    ASSERT_TRUE(test::spinUntil([&] { return daemon.canReadLine(); }, answerTimeout)) << "dbus-daemon did not start";
    address = QString::fromUtf8(daemon.readLine()).trimmed();
  }
  void TearDown() override {
    for (const QString& name : names) QDBusConnection::disconnectFromBus(name);
    daemon.terminate();
    daemon.waitForFinished();
  }
  QDBusConnection connect(const QString& name) {
    names << name;
    return QDBusConnection::connectToBus(address, name);
  }

  QTemporaryDir dir;
  QProcess daemon;
  QString address;
  QStringList names;
};

TEST_F(PrivateBus, ASecondStartActivatesTheFirst) {
  SingleInstance first(connect("first"));
  int activations = 0;
  first.onActivate = [&] { ++activations; };
  ASSERT_EQ(first.claim(), SingleInstance::Claim::primary);

  QDBusConnection other = connect("second");
  SingleInstance second(other);
  EXPECT_EQ(second.claim(), SingleInstance::Claim::secondary);

  QDBusPendingCallWatcher answer(activateRunning(other));
  ASSERT_TRUE(test::spinUntil([&] { return answer.isFinished(); }, answerTimeout));
  EXPECT_FALSE(answer.isError()) << answer.error().message().toStdString();
  EXPECT_EQ(activations, 1);
}

TEST_F(PrivateBus, TheNameIsFreeOnceTheFirstIsGone) {
  {
    SingleInstance first(connect("first"));
    ASSERT_EQ(first.claim(), SingleInstance::Claim::primary);
  }
  SingleInstance next(connect("second"));
  EXPECT_EQ(next.claim(), SingleInstance::Claim::primary);
}

TEST(NoBus, TheProgramRunsAlone) {
  SingleInstance lone(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
  EXPECT_EQ(lone.claim(), SingleInstance::Claim::alone);
  QDBusConnection::disconnectFromBus("none");
}

}  // namespace
}  // namespace talvo
