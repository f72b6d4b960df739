#include "shell/single_instance.h"

#include "shell/application_adaptor.h"
#include "shell/control_adaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace talvo {

SingleInstance::SingleInstance(QDBusConnection bus) : bus_(std::move(bus)) {
  new ApplicationAdaptor(this, [this] {
    if (onActivate) onActivate();
  });
  new ControlAdaptor(this, [this](RemoteCommand command) {
    if (onCommand) onCommand(command);
  });
}

SingleInstance::~SingleInstance() {
  if (!owns_) return;
  bus_.unregisterObject(QString::fromLatin1(applicationPath));
  bus_.unregisterService(QString::fromLatin1(applicationService));
}

SingleInstance::Claim SingleInstance::claim() {
  if (!bus_.isConnected()) return Claim::alone;
  // The object goes up first, so a caller that sees the name finds someone to answer.
  if (!bus_.registerObject(QString::fromLatin1(applicationPath), this,
                           QDBusConnection::ExportAdaptors))
    return Claim::alone;
  if (!bus_.registerService(QString::fromLatin1(applicationService))) {
    bus_.unregisterObject(QString::fromLatin1(applicationPath));
    const bool taken = bus_.interface() && bus_.interface()->isServiceRegistered(
                                               QString::fromLatin1(applicationService));
    return taken ? Claim::secondary : Claim::alone;
  }
  owns_ = true;
  return Claim::primary;
}

QDBusPendingCall activateRunning(const QDBusConnection& bus) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(applicationService), QString::fromLatin1(applicationPath),
      QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
  call << QVariantMap();
  return bus.asyncCall(call);
}

QDBusPendingCall commandRunning(const QDBusConnection& bus, RemoteCommand command) {
  return bus.asyncCall(QDBusMessage::createMethodCall(
      QString::fromLatin1(applicationService), QString::fromLatin1(applicationPath),
      QStringLiteral("org.talvo.Talvo"), methodName(command)));
}

}  // namespace talvo
