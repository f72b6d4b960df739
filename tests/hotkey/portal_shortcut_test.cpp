// The shortcut portal's client against a portal of the test's own on a private session bus:
// the session and binding handshake, then activations as the key's press and release.
#include "hotkey/hotkey_monitor.h"
#include "hotkey/portal_shortcut_sampler.h"
#include "support/log_capture.h"
#include "support/private_bus.h"
#include "support/task_runner.h"

#include <QDBusMessage>
#include <QDBusArgument>
#include <QDBusVirtualObject>
#include <QDBusObjectPath>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double answerTimeout = 10.0;
const QString portalPath = "/org/freedesktop/portal/desktop";
const QString sessionPath = "/org/freedesktop/portal/desktop/session/1/talvo";

// Answers CreateSession and BindShortcuts as a desktop would, with `response` (0 granted,
// 1 refused), on the request path the caller's token names.
class FakePortal : public QDBusVirtualObject {
public:
  FakePortal(QDBusConnection bus, uint response) : bus_(std::move(bus)), response_(response) {}
  QStringList calls;
  QStringList shortcuts;

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    const QVariantList arguments = message.arguments();
    if (message.member() == "BindShortcuts" && arguments.size() == 4) readShortcuts(arguments[1]);
    const QVariantMap options =
        arguments.isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(arguments.back());
    calls << message.member();
    QString sender = message.service().mid(1).replace('.', '_');
    const QString path =
        portalPath + "/request/" + sender + "/" + options.value("handle_token").toString();
    connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    QDBusMessage response =
        QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
    QVariantMap results;
    if (message.member() == "CreateSession")
      results.insert("session_handle", QVariant::fromValue(QDBusObjectPath(sessionPath)));
    response << response_ << results;
    bus_.send(response);
    return true;
  }

private:
  void readShortcuts(const QVariant& list) {
    const auto argument = list.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
      QString id;
      QVariantMap properties;
      argument.beginStructure();
      argument >> id >> properties;
      argument.endStructure();
      shortcuts << id;
    }
    argument.endArray();
  }

  QDBusConnection bus_;
  uint response_;
};

class PortalShortcut : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()); }

  // Sends the portal's signal for the shortcut, as the desktop does on a key change.
  static void shortcut(const QDBusConnection& portalBus, const char* signal, const QString& id) {
    QDBusMessage message =
        QDBusMessage::createSignal(portalPath, "org.freedesktop.portal.GlobalShortcuts", signal);
    message << QVariant::fromValue(QDBusObjectPath(sessionPath)) << id << qulonglong(0)
            << QVariantMap();
    portalBus.send(message);
  }

  qsizetype logged(const QString& text) const { return log.messages().filter(text).size(); }

  test::LogCapture log;
  test::PrivateBus bus;
};

TEST_F(PortalShortcut, ActivationsAreThePressAndReleaseOfTheKey) {
  const QDBusConnection portalBus = bus.connect("portal");
  FakePortal portal(portalBus, 0);
  ASSERT_TRUE(QDBusConnection(portalBus).registerVirtualObject(portalPath, &portal));
  ASSERT_TRUE(QDBusConnection(portalBus).registerService("org.freedesktop.portal.Desktop"));

  const QDBusConnection talvo = bus.connect("talvo");
  HotkeyMonitor monitor(HotkeyChoice::rightControl, [&] {
    return makePortalShortcutSampler(HotkeyChoice::rightControl, talvo);
  });
  std::vector<HotkeyEvent> events;
  monitor.onEvent = [&](const HotkeyEvent& e) { events.push_back(e); };
  ASSERT_TRUE(monitor.start());
  ASSERT_TRUE(test::spinUntil([&] { return portal.calls.size() == 2; }, answerTimeout))
      << qPrintable(portal.calls.join(" ") + " / " + log.messages().join("\n"));
  EXPECT_EQ(portal.calls, QStringList({"CreateSession", "BindShortcuts"}));
  EXPECT_EQ(portal.shortcuts, QStringList{"dictate"});
  ASSERT_TRUE(test::spinUntil([&] { return logged("portal holds the key") == 1; }, answerTimeout));

  shortcut(portalBus, "Activated", "another");  // not ours
  shortcut(portalBus, "Activated", "dictate");
  ASSERT_TRUE(test::spinUntil([&] { return events.size() == 1; }, answerTimeout));
  test::spinUntil([] { return false; }, HotkeyMachine::tapMax + 0.1);
  shortcut(portalBus, "Deactivated", "dictate");
  ASSERT_TRUE(test::spinUntil([&] { return events.size() == 2; }, answerTimeout));
  EXPECT_TRUE(std::holds_alternative<hotkey_event::Pressed>(events[0]));
  EXPECT_TRUE(std::holds_alternative<hotkey_event::Released>(events[1]));
}

TEST_F(PortalShortcut, WithoutAPortalOrWithARefusalTheHotkeyIsOffAndSaysWhy) {
  qsizetype offs = 0;
  for (const bool portalThere : {false, true}) {
    const QDBusConnection portalBus = bus.connect(portalThere ? "refusing" : "none");
    FakePortal portal(portalBus, 1);
    if (portalThere) {
      ASSERT_TRUE(QDBusConnection(portalBus).registerVirtualObject(portalPath, &portal));
      ASSERT_TRUE(QDBusConnection(portalBus).registerService("org.freedesktop.portal.Desktop"));
    }
    const QDBusConnection talvo = bus.connect(portalThere ? "talvo-refused" : "talvo-alone");
    HotkeyMonitor monitor(HotkeyChoice::rightControl, [&] {
      return makePortalShortcutSampler(HotkeyChoice::rightControl, talvo);
    });
    ASSERT_TRUE(monitor.start());
    EXPECT_TRUE(test::spinUntil(
        [&] { return !monitor.polling() && logged("the hotkey is off") > offs; }, answerTimeout))
        << portalThere << qPrintable(log.messages().join('\n'));
    offs = logged("the hotkey is off");
    if (portalThere) QDBusConnection(portalBus).unregisterService("org.freedesktop.portal.Desktop");
  }
}

}  // namespace
}  // namespace talvo
