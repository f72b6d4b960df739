// The monitor with the sway sampler against a real headless sway, with keys typed through a
// virtual keyboard; and the IPC connection against a compositor that misbehaves.
#include "desktop/sway_session.h"
#include "hotkey/hotkey_monitor.h"
#include "sway/sway_ipc.h"
#include "support/task_runner.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace talvo {
namespace {

constexpr double typedTimeout = 20.0;
// Long enough for a binding event that was coming to have come.
constexpr double quietSeconds = 0.5;

QString kind(const HotkeyEvent& event) {
  return std::visit(
      [](const auto& e) -> QString {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, hotkey_event::Pressed>) return "pressed";
        if constexpr (std::is_same_v<E, hotkey_event::Released>) return "released";
        if constexpr (std::is_same_v<E, hotkey_event::Locked>) return "locked";
        if constexpr (std::is_same_v<E, hotkey_event::Aborted>)
          return "aborted: " + toString(e.reason);
      },
      event);
}

class SwayHotkey : public ::testing::Test {
protected:
  static void SetUpTestSuite() { session = std::make_unique<test::SwaySession>(); }
  static void TearDownTestSuite() { session.reset(); }
  void SetUp() override { ASSERT_EQ(session->problem(), ""); }

  static inline std::unique_ptr<test::SwaySession> session;
};

TEST_F(SwayHotkey, GesturesBecomeEventsAndAHoldWithoutItsReleaseEndsAtTheNextPress) {
  const struct {
    const char* name = nullptr;
    QStringList typed;
    QStringList events;
  } cases[] = {
      {"hold", {"-P", "Control_R", "-s", "600", "-p", "Control_R"}, {"pressed", "released"}},
      {"tap", {"-k", "Control_R"}, {"pressed", "aborted: tooShort"}},
      {"Esc, then a hold",
       {"-P", "Control_R", "-s", "400", "-k", "Escape", "-s", "100", "-p", "Control_R", "-s", "500",
        "-P", "Control_R", "-s", "600", "-p", "Control_R"},
       {"pressed", "aborted: cancelled", "pressed", "released"}},
      // Another key during the hold keeps sway from reporting the release.
      {"a shortcut, then a press",
       {"-P", "Control_R", "-s", "600", "-k", "a", "-p", "Control_R", "-s", "500", "-P",
        "Control_R", "-s", "100", "-k", "a", "-p", "Control_R"},
       {"pressed", "released"}},
  };
  for (const auto& c : cases) {
    HotkeyMonitor monitor(HotkeyChoice::rightControl,
                          [] { return makeSwayKeyboardSampler(HotkeyChoice::rightControl); });
    QStringList events;
    monitor.onEvent = [&](const HotkeyEvent& e) { events << kind(e); };
    ASSERT_TRUE(monitor.start()) << c.name;
    QProcess typist;
    test::SwaySession::type(typist, c.typed);
    test::spinUntil(
        [&] { return typist.state() == QProcess::NotRunning && events.size() >= c.events.size(); },
        typedTimeout);
    test::spinUntil([] { return false; }, quietSeconds);
    EXPECT_EQ(events, c.events) << c.name;
  }
}

TEST_F(SwayHotkey, TheBindingsGoWithTheSampler) {
  QString why;
  const auto watcher = sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why);
  ASSERT_TRUE(watcher && watcher->subscribe({"binding"})) << why.toStdString();
  makeSwayKeyboardSampler(HotkeyChoice::rightControl).reset();

  QProcess typist;
  test::SwaySession::type(typist, {"-k", "Control_R", "-k", "Escape"});
  ASSERT_TRUE(typist.waitForFinished());
  test::spinUntil([] { return false; }, quietSeconds);
  EXPECT_TRUE(watcher->readAvailable().empty());
}

// What the compositor's side sends on accepting a connection; the connection's answer to a
// command that follows.
TEST(SwayConnection, AStreamOutOfStepOrCutShortBreaksItWithoutACrash) {
  const QByteArray header = QByteArray("i3-ipc") + QByteArray::fromHex("0200000000000000");
  const struct {
    const char* name;
    QByteArray sent;
    bool broken;
  } cases[] = {
      {"a reply", header + "[]", false},
      {"no magic", QByteArray("x3-ipc") + QByteArray::fromHex("0000000000000000"), true},
      {"a length past all bounds", QByteArray("i3-ipc") + QByteArray::fromHex("ffffffff00000000"),
       true},
      {"a hang-up", {}, true},
  };
  for (const auto& c : cases) {
    QTemporaryDir dir;
    QLocalServer server;
    ASSERT_TRUE(server.listen(dir.filePath("ipc")));
    QString why;
    const auto connection = sway::Connection::open(dir.filePath("ipc"), why);
    ASSERT_TRUE(connection) << why.toStdString();
    ASSERT_TRUE(test::spinUntil([&] { return server.hasPendingConnections(); }));
    QLocalSocket* peer = server.nextPendingConnection();
    if (c.sent.isEmpty()) {
      peer->disconnectFromServer();
    } else {
      peer->write(c.sent);
      peer->flush();
    }
    test::spinUntil([] { return false; }, 0.1);
    connection->readAvailable();
    EXPECT_EQ(connection->broken(), c.broken) << c.name;
  }
}

}  // namespace
}  // namespace talvo
