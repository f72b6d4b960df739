#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace talvo::test {

// A session bus of the test's own, where a fake desktop service may take a well-known name
// without meeting the real one. The connections made through it go with it, so the next
// bus can reuse their names.
class PrivateBus {
public:
  PrivateBus() {
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                  "--address=unix:path=" + dir_.filePath("bus")});
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(startTimeoutMs)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  ~PrivateBus() {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished();
  }

  // Empty when the daemon did not start.
  const QString& address() const { return address_; }

  QDBusConnection connect(const QString& name) {
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
  }

private:
  static constexpr int startTimeoutMs = 10000;

  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
  QStringList names_;
};

}  // namespace talvo::test
