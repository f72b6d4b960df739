#include "desktop/virtual_desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <X11/Xlib.h>

#include <utility>

namespace talvo::test {

namespace {

constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 2000;

bool waitUntil(const auto& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > startTimeoutMs) return false;
    QThread::msleep(20);
  }
  return true;
}

// Opens the display and asks it whether the selection has an owner.
bool selectionOwned(const char* selection) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool owned = XGetSelectionOwner(display, XInternAtom(display, selection, False)) != None;
  XCloseDisplay(display);
  return owned;
}

bool a11yBusAnnounced() {
  QProcess ask;
  ask.start("dbus-send", {"--session", "--dest=org.freedesktop.DBus", "--print-reply",
                          "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                          "string:org.a11y.Bus"});
  return ask.waitForFinished(startTimeoutMs) && ask.readAllStandardOutput().contains("boolean true");
}

}  // namespace

VirtualDesktop::VirtualDesktop(Options options) {
  if (!dir_.isValid()) {
    problem_ = QStringLiteral("no temporary folder");
    return;
  }
  for (auto [variable, sub] : {std::pair{"XDG_RUNTIME_DIR", "runtime"}, {"XDG_CONFIG_HOME", "config"},
                                {"XDG_CACHE_HOME", "cache"}, {"XDG_DATA_HOME", "data"}}) {
    QDir(dir_.path()).mkpath(sub);
    qputenv(variable, dir_.filePath(sub).toUtf8());
  }
  QFile::setPermissions(dir_.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qunsetenv("AT_SPI_BUS_ADDRESS");
  if (!startX()) return;
  if (options.windowManager && !startWindowManager()) return;
  if (options.accessibility) startBuses();
}

VirtualDesktop::~VirtualDesktop() {
  for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
    QProcess& process = **it;
    process.terminate();
    if (!process.waitForFinished(stopTimeoutMs)) process.kill();
    process.waitForFinished(stopTimeoutMs);
  }
}

QProcess& VirtualDesktop::launch(const QString& program, const QStringList& arguments) {
  auto& process = *processes_.emplace_back(std::make_unique<QProcess>());
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, arguments);
  return process;
}

QString VirtualDesktop::firstLine(QProcess& process) {
  while (!process.canReadLine() && process.waitForReadyRead(startTimeoutMs)) {
  }
  return QString::fromUtf8(process.readLine()).trimmed();
}

bool VirtualDesktop::startX() {
  // Xvfb picks a free display itself and prints its number. Without -noreset it resets
  // whenever its last client leaves, refusing connections meanwhile.
  QProcess& xvfb = launch("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten",
                                   "tcp", "-noreset"});
  QString number = firstLine(xvfb);
  if (number.isEmpty()) {
    problem_ = QStringLiteral("Xvfb did not start");
    return false;
  }
  qputenv("DISPLAY", (u':' + number).toUtf8());
  return true;
}

bool VirtualDesktop::startWindowManager() {
  launch("openbox", {"--sm-disable"});
  if (waitUntil([] { return selectionOwned("WM_S0"); })) return true;
  problem_ = QStringLiteral("openbox did not start");
  return false;
}

bool VirtualDesktop::startBuses() {
  QProcess& sessionBus =
      launch("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                             "--address=unix:path=" + dir_.filePath("session-bus")});
  QString address = firstLine(sessionBus);
  if (address.isEmpty()) {
    problem_ = QStringLiteral("no session bus");
    return false;
  }
  qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
  launch("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
  // Clients ask the session bus for the accessibility bus; asking before the launcher
  // holds its name would make D-Bus start a second launcher that nobody stops.
  if (waitUntil(a11yBusAnnounced)) return true;
  problem_ = QStringLiteral("the accessibility bus did not start");
  return false;
}

}  // namespace talvo::test
