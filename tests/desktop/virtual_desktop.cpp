#include "desktop/virtual_desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xlib.h>  // after gtest: Xlib's None macro breaks its headers

#include <cstdio>
#include <utility>

namespace talvo::test {

namespace {

constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 2000;

bool waitUntil(const auto& condition) {
  QElapsedTimer clock;
  for (clock.start(); !condition(); QThread::msleep(20))
    if (clock.elapsed() > startTimeoutMs) return false;
  return true;
}

// The first line the process prints, or empty when it prints none in time.
QString firstLine(QProcess& process) {
  while (!process.canReadLine() && process.waitForReadyRead(startTimeoutMs)) {
  }
  return QString::fromUtf8(process.readLine()).trimmed();
}

bool windowManagerRuns() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool owned = XGetSelectionOwner(display, XInternAtom(display, "WM_S0", False)) != None;
  XCloseDisplay(display);
  return owned;
}

bool trayHosted() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool owned =
      XGetSelectionOwner(display, XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False)) != None;
  XCloseDisplay(display);
  return owned;
}

bool a11yBusAnnounced() {
  QProcess ask;
  ask.start("dbus-send",
            {"--session", "--dest=org.freedesktop.DBus", "--print-reply", "/org/freedesktop/DBus",
             "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"});
  return ask.waitForFinished(startTimeoutMs) &&
         ask.readAllStandardOutput().contains("boolean true");
}

}  // namespace

VirtualDesktop::VirtualDesktop(Options options) {
  if (!dir_.isValid()) problem_ = QStringLiteral("no temporary folder");
  for (auto [variable, sub] : {std::pair{"XDG_RUNTIME_DIR", "runtime"},
                               {"XDG_CONFIG_HOME", "config"},
                               {"XDG_CACHE_HOME", "cache"},
                               {"XDG_DATA_HOME", "data"}}) {
    QDir(dir_.path()).mkpath(sub);
    qputenv(variable, dir_.filePath(sub).toUtf8());
  }
  QFile::setPermissions(dir_.filePath("runtime"),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qunsetenv("AT_SPI_BUS_ADDRESS");
  if (!problem_.isEmpty() || !startX()) return;
  if (options.windowManager) {
    launch("openbox", {"--sm-disable"});
    if (!waitUntil(windowManagerRuns)) problem_ = QStringLiteral("openbox did not start");
  }
  if (options.tray && problem_.isEmpty()) {
    launch("trayer",
           {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
    if (!waitUntil(trayHosted)) problem_ = QStringLiteral("trayer did not start");
  }
  if (options.accessibility && problem_.isEmpty()) startBuses();
}

VirtualDesktop::~VirtualDesktop() {
  while (!processes_.empty()) {  // the last launched stops first
    QProcess& process = *processes_.back();
    process.terminate();
    if (!process.waitForFinished(stopTimeoutMs))
      process.kill(), process.waitForFinished(stopTimeoutMs);
    processes_.pop_back();
  }
}

QProcess& VirtualDesktop::launch(const QString& program, const QStringList& arguments) {
  QProcess& process = *processes_.emplace_back(std::make_unique<QProcess>());
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, arguments);
  return process;
}

bool VirtualDesktop::startX() {
  // Xvfb picks a free display itself and prints its number. Without -noreset it resets
  // whenever its last client leaves, refusing connections meanwhile.
  QString number = firstLine(launch(
      "Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"}));
  if (number.isEmpty())
    problem_ = QStringLiteral("Xvfb did not start");
  else
    qputenv("DISPLAY", (u':' + number).toUtf8());
  return problem_.isEmpty();
}

bool VirtualDesktop::startBuses() {
  QString address =
      firstLine(launch("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                       "--address=unix:path=" + dir_.filePath("session-bus")}));
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

int runInVirtualDesktop(int& argc, char** argv, VirtualDesktop::Options options,
                        const std::function<int()>& run) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (QByteArray(argv[i]).startsWith("--gtest_list_tests")) return RUN_ALL_TESTS();
  VirtualDesktop desktop(options);
  if (desktop.problem().isEmpty()) return run();
  std::fprintf(stderr, "virtual desktop: %s\n", qPrintable(desktop.problem()));
  return 1;
}

}  // namespace talvo::test
