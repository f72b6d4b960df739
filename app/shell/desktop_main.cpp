// The desktop program's start: checks, one instance per session, then the shell.
#include "shell/desktop_main.h"
#include "shell/desktop_session.h"
#include "shell/quit_signals.h"
#include "shell/shell.h"
#include "shell/single_instance.h"
#include "shell/x_display.h"

#include "feedback/sound_player.h"
#include "feedback/speaker.h"
#include "insertion/wayland_display.h"
#include "storage/log.h"
#include "storage/login_item.h"
#include "sway/sway_ipc.h"
#include "widgets/look.h"

#include <QApplication>
#include <QDBusPendingReply>

#include <cstdio>

namespace talvo {
namespace {

constexpr const char* noDisplayMessage =
    "talvo: no display to show windows on%s; set WAYLAND_DISPLAY or DISPLAY, or use --replay "
    "DIR.\n";

// Asks the display servers the environment names.
SessionFacts probeSession() {
  SessionFacts facts;
  facts.waylandDisplaySet = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  facts.waylandReachable = facts.waylandDisplaySet && waylandDisplayReachable();
  if (facts.waylandReachable && !qEnvironmentVariableIsEmpty("SWAYSOCK")) {
    QString why;
    facts.swayReachable = sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why) != nullptr;
  }
  facts.xReachable = xDisplayAvailable();
  return facts;
}

bool launchedAtLogin(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (QByteArray(argv[i]) == autostartArgument) return true;
  return false;
}

}  // namespace

int runDesktop(int& argc, char** argv) {
  const SessionChoice session = chooseSession(probeSession());
  if (session.kind == SessionKind::none) {
    const QString why = session.fallback.isEmpty() ? QString() : " (" + session.fallback + ")";
    std::fprintf(stderr, noDisplayMessage, qPrintable(why));
    return 1;
  }
  // The parts are made for one platform; another one Qt would pick would not match them.
  qputenv("QT_QPA_PLATFORM", session.qtPlatform);
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Talvo"));
  QCoreApplication::setApplicationName(QStringLiteral("talvo"));
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Talvo"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.talvo.Talvo"));
  // The program lives in the tray; closing its last window does not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  look::useIconTheme();

  SingleInstance instance(QDBusConnection::sessionBus());
  switch (instance.claim()) {
    case SingleInstance::Claim::secondary: {
      QDBusPendingCall call = activateRunning(QDBusConnection::sessionBus());
      call.waitForFinished();
      if (call.isError()) {
        std::fprintf(stderr, "talvo: already running, and it did not answer: %s\n",
                     qPrintable(call.error().message()));
        return 1;
      }
      return 0;
    }
    case SingleInstance::Claim::alone:
      Log::info(QStringLiteral("no session bus: running without the one-instance check"));
      break;
    case SingleInstance::Claim::primary: break;
  }

  if (!session.fallback.isEmpty()) Log::info(session.fallback + QStringLiteral(": using X11"));
  LaunchOptions options{launchedAtLogin(argc, argv), qgetenv("TALVO_NO_WINDOW"),
                        makeDesktopSoundPlayer(), makeDesktopSpeaker()};
  options.session = session.kind;
  Shell shell(std::move(options));
  instance.onActivate = [&shell] {
    Log::info(QStringLiteral("asked to show itself"));
    shell.openMain();
  };
  instance.onCommand = [&shell](RemoteCommand command) { shell.remote(command); };
  quitOnTerminationSignals();
  shell.start();
  const int status = QApplication::exec();
  Log::info(QStringLiteral("quit"));
  Log::flush();
  return status;
}

}  // namespace talvo
