// The remote desktop portal's keyboard against a portal of the test's own on a private
// session bus: the handshake and the keys, then the answers that must leave it off.
#include "insertion/portal_keyboard.h"
#include "support/log_capture.h"
#include "support/private_bus.h"
#include "support/qt_printers.h"
#include "support/task_runner.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double answerTimeout = 10.0;
const QString portalPath = "/org/freedesktop/portal/desktop";
const QString sessionPath = "/org/freedesktop/portal/desktop/session/1/talvo";

struct Answer {
  uint response = 0;
  QVariantMap results;
};

// Answers as a desktop that grants the keyboard, unless told otherwise, and keeps what it
// was sent: keys as their keysym in hex and + or - for down or up.
class FakePortal : public QDBusVirtualObject {
public:
  QMap<QString, Answer> answers{{"CreateSession", {0, {{"session_handle", sessionPath}}}},
                                {"SelectDevices", {}},
                                {"Start", {0, {{"restore_token", "new-token"}, {"devices", 1U}}}}};
  bool closeAfterStart = false;
  QStringList calls, keys, keySessions;
  QVariantMap selected;

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
    const QString method = message.member();
    const QVariantList arguments = message.arguments();
    calls << method;
    if (method == "NotifyKeyboardKeysym") {
      keySessions << arguments[0].value<QDBusObjectPath>().path();
      keys << QString::number(arguments[2].toInt(), 16) + (arguments[3].toUInt() == 1 ? "+" : "-");
    }
    if (!answers.contains(method)) return bus.send(message.createReply());
    const auto options = qdbus_cast<QVariantMap>(arguments.back());
    if (method == "SelectDevices") selected = options;
    const QString path = portalPath + "/request/" + message.service().mid(1).replace('.', '_') +
                         "/" + options.value("handle_token").toString();
    bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    bus.send(QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response")
             << answers[method].response << answers[method].results);
    if (method == "Start" && closeAfterStart)
      bus.send(QDBusMessage::createSignal(sessionPath, "org.freedesktop.portal.Session", "Closed")
               << QVariantMap());
    return true;
  }
};

bool serve(test::PrivateBus& bus, FakePortal& portal) {
  QDBusConnection connection = bus.connect("portal");
  return connection.registerVirtualObject(portalPath, &portal, QDBusConnection::SubPath) &&
         connection.registerService("org.freedesktop.portal.Desktop");
}

QString typed(const QVariant& value) { return QString(value.typeName()) + ' ' + value.toString(); }

TEST(PortalKeyboard, AfterTheHandshakeTheKeysGoOutInOrderOnTheSession) {
  const test::LogCapture log;
  test::PrivateBus bus;
  FakePortal portal;
  ASSERT_TRUE(serve(bus, portal));
  QString saved;
  {
    PortalKeyboard keyboard(bus.connect("talvo"), "old-token");
    keyboard.onRestoreToken = [&](const QString& token) { saved = token; };
    ASSERT_TRUE(test::spinUntil([&] { return keyboard.ready(); }, answerTimeout))
        << qPrintable(log.messages().join('\n'));
    EXPECT_EQ(portal.calls, QStringList({"CreateSession", "SelectDevices", "Start"}));
    EXPECT_EQ(typed(portal.selected.value("types")), "uint 1");
    EXPECT_EQ(typed(portal.selected.value("persist_mode")), "uint 2");
    EXPECT_EQ(typed(portal.selected.value("restore_token")), "QString old-token");
    EXPECT_EQ(saved, "new-token");

    ASSERT_TRUE(keyboard.press(PasteKeys::ctrlShiftV));
    ASSERT_TRUE(test::spinUntil([&] { return portal.keys.size() == 6; }, answerTimeout));
    EXPECT_EQ(portal.keys, QStringList({"ffe3+", "ffe1+", "76+", "76-", "ffe1-", "ffe3-"}));
    EXPECT_EQ(portal.keySessions, QStringList(6, sessionPath));
  }
  EXPECT_TRUE(test::spinUntil([&] { return portal.calls.back() == "Close"; }, answerTimeout));
}

TEST(PortalKeyboard, AMissingPortalARefusalOrAnOddAnswerLeavesItOffWithOneLine) {
  struct Row {
    const char* name;
    QString method;  // whose answer replaces the granting one; none for no portal at all
    Answer answer;
    bool closeAfterStart = false;
  };
  const QVariantMap noKeyboard{{"devices", 2U}};
  const Row rows[] = {
      {"no portal", "", {}},
      {"refused at start", "Start", {1, {}}},
      {"no session handle", "CreateSession", {0, {}}},
      {"a session handle that is no path", "CreateSession", {0, {{"session_handle", "no/path"}}}},
      {"a pointer but no keyboard", "Start", {0, noKeyboard}},
      {"closed by the desktop", "SelectDevices", {}, true},
  };
  const test::LogCapture log;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::PrivateBus bus;
    FakePortal portal;
    portal.answers[row.method] = row.answer;
    portal.closeAfterStart = row.closeAfterStart;
    ASSERT_TRUE(row.method.isEmpty() || serve(bus, portal));
    const qsizetype lines = log.messages().size();
    PortalKeyboard keyboard(bus.connect("talvo"), {});
    EXPECT_TRUE(test::spinUntil([&] { return keyboard.refused(); }, answerTimeout));
    test::spinFor(0.1);  // for a second line, if one comes
    EXPECT_FALSE(keyboard.ready());
    EXPECT_FALSE(keyboard.press(PasteKeys::ctrlV));
    EXPECT_TRUE(portal.keys.isEmpty());
    EXPECT_EQ(log.messages().mid(lines).filter("portal keyboard off: ").size(), 1)
        << qPrintable(log.messages().mid(lines).join('\n'));
  }
}

}  // namespace
}  // namespace talvo
