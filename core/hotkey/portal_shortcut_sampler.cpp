#include "hotkey/portal_shortcut_sampler.h"

#include "hotkey/noticed_key.h"
#include "storage/file_io.h"
#include "portal/portal.h"
#include "storage/log.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QObject>

#include <sys/eventfd.h>
#include <unistd.h>

namespace talvo {
namespace {

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("dictate");

struct ShortcutSpec {
  QString id;
  QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& out, const ShortcutSpec& shortcut) {
  out.beginStructure();
  out << shortcut.id << shortcut.properties;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ShortcutSpec& shortcut) {
  in.beginStructure();
  in >> shortcut.id >> shortcut.properties;
  in.endStructure();
  return in;
}

}  // namespace
}  // namespace talvo

Q_DECLARE_METATYPE(talvo::ShortcutSpec)

namespace talvo {
namespace {

class PortalShortcutSampler final : public QObject, public KeyboardSampler {
  Q_OBJECT

public:
  PortalShortcutSampler(HotkeyChoice choice, QDBusConnection bus)
      : choice_(choice),
        key_(choice),
        bus_(std::move(bus)),
        wakes_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  PortalShortcutSampler(const PortalShortcutSampler&) = delete;
  PortalShortcutSampler& operator=(const PortalShortcutSampler&) = delete;
  ~PortalShortcutSampler() override {
    if (session_.isEmpty()) return;
    bus_.asyncCall(QDBusMessage::createMethodCall(portal::service, session_,
                                                  portal::sessionInterface, "Close"));
  }

  void start() {
    qDBusRegisterMetaType<ShortcutSpec>();
    qDBusRegisterMetaType<QList<ShortcutSpec>>();
    for (const char* signal : {"Activated", "Deactivated"})
      bus_.connect(portal::service, portal::path, shortcutsInterface, QString::fromLatin1(signal),
                   this, SLOT(onShortcut(QDBusMessage)));
    call(QStringLiteral("CreateSession"), QStringLiteral("talvo_session"), {},
         SLOT(onSession(uint, QVariantMap)));
  }

  uint64_t flags() override { return key_.next().flags; }
  KeySet down() override { return key_.current().down; }
  int wakeDescriptor() const override { return wakes_.get(); }
  bool lost() const override { return lost_; }
  bool drainWakes() override {
    uint64_t count = 0;
    const bool woken = ::read(wakes_.get(), &count, sizeof(count)) == sizeof(count);
    return woken || key_.pending();
  }

private slots:
  void onSession(uint response, const QVariantMap& results) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    session_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                    : handle.toString();
    if (response != 0 || session_.isEmpty())
      return fail(QStringLiteral("the desktop did not open a shortcut session"));
    const QList<ShortcutSpec> shortcuts{
        {shortcutId,
         {{QStringLiteral("description"), QStringLiteral("Hold to dictate")},
          {QStringLiteral("preferred_trigger"), keysymName(choice_)}}}};
    call(
        QStringLiteral("BindShortcuts"), QStringLiteral("talvo_bind"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString()},
        SLOT(onBound(uint, QVariantMap)));
  }

  void onBound(uint response, const QVariantMap&) {
    if (response != 0) return fail(QStringLiteral("the shortcut was not bound"));
    Log::info(QStringLiteral("hotkey: the desktop's shortcut portal holds the key"));
  }

  void onShortcut(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != session_ ||
        arguments[1].toString() != shortcutId)
      return;
    if (message.member() == u"Activated") key_.press();
    if (message.member() == u"Deactivated") key_.release();
    wake();
  }

private:
  // A portal call whose answer comes as a Response signal on its request's own path.
  void call(const QString& method, const QString& token, QVariantList arguments,
            const char* answer) {
    bus_.connect(portal::service, portal::requestPath(bus_, token), portal::requestInterface,
                 QStringLiteral("Response"), this, answer);
    QDBusMessage message =
        QDBusMessage::createMethodCall(portal::service, portal::path, shortcutsInterface, method);
    QVariantMap options{{QStringLiteral("handle_token"), token}};
    if (method == u"CreateSession")
      options.insert(QStringLiteral("session_handle_token"), QStringLiteral("talvo"));
    arguments << options;
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
      watcher->deleteLater();
      if (watcher->isError())
        fail(QStringLiteral("no shortcut portal: ") + watcher->error().message());
    });
  }

  void fail(const QString& why) {
    if (lost_) return;
    lost_ = true;
    Log::info(QStringLiteral("hotkey: ") + why);
    wake();
  }

  void wake() {
    const uint64_t one = 1;
    if (::write(wakes_.get(), &one, sizeof(one)) != sizeof(one)) {
      // The counter is already far from zero: a wake is pending anyway.
    }
  }

  HotkeyChoice choice_;
  NoticedKey key_;
  QDBusConnection bus_;
  file_io::Fd wakes_;
  QString session_;
  bool lost_ = false;
};

}  // namespace

std::unique_ptr<KeyboardSampler> makePortalShortcutSampler(HotkeyChoice choice,
                                                           const QDBusConnection& bus) {
  if (!bus.isConnected()) {
    Log::info(QStringLiteral("hotkey: no session bus, so no shortcut portal"));
    return nullptr;
  }
  auto sampler = std::make_unique<PortalShortcutSampler>(choice, bus);
  sampler->start();
  return sampler;
}

}  // namespace talvo

#include "portal_shortcut_sampler.moc"
