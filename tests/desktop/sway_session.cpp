#include "desktop/sway_session.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <unistd.h>

namespace talvo::test {
namespace {

constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 5000;
constexpr int pollMs = 20;
// sway refuses to run as root; it runs as nobody in a folder nobody owns.
constexpr uid_t nobody = 65534;

}  // namespace

SwaySession::SwaySession() {
  const QString runtime = dir_.path();
  QFile config(dir_.filePath("config"));
  if (!config.open(QIODevice::WriteOnly) ||
      config.write("xwayland disable\noutput HEADLESS-1 resolution 1280x800\n") < 0) {
    problem_ = "cannot write sway's config";
    return;
  }
  config.close();
  const bool root = geteuid() == 0;
  if (root && (::chown(QFile::encodeName(runtime).constData(), nobody, nobody) != 0 ||
               ::chown(QFile::encodeName(config.fileName()).constData(), nobody, nobody) != 0)) {
    problem_ = "cannot give the runtime folder to nobody";
    return;
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", runtime);
  environment.insert("WLR_BACKENDS", "headless");
  environment.insert("WLR_LIBINPUT_NO_DEVICES", "1");
  environment.insert("WLR_RENDERER", "pixman");
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"}) environment.remove(name);
  sway_.setProcessEnvironment(environment);
  sway_.setProcessChannelMode(QProcess::MergedChannels);
  const QStringList swayArguments{"sway", "-c", config.fileName()};
  if (root) {
    sway_.start("setpriv",
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + swayArguments);
  } else {
    sway_.start(swayArguments.front(), swayArguments.mid(1));
  }
  const QString socket = QStringLiteral("%1/sway-ipc.%2.%3.sock")
                             .arg(runtime)
                             .arg(root ? nobody : geteuid())
                             .arg(sway_.processId());
  const QDeadlineTimer deadline(startTimeoutMs);
  while (!(QFile::exists(socket) && QFile::exists(runtime + "/wayland-1"))) {
    if (deadline.hasExpired() || sway_.state() == QProcess::NotRunning) {
      problem_ = "sway did not start: " + QString::fromLocal8Bit(sway_.readAll());
      return;
    }
    QThread::msleep(pollMs);
  }
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
  qputenv("WAYLAND_DISPLAY", "wayland-1");
  qputenv("SWAYSOCK", QFile::encodeName(socket));
}

SwaySession::~SwaySession() {
  sway_.terminate();
  if (!sway_.waitForFinished(stopTimeoutMs)) sway_.kill();
  sway_.waitForFinished(stopTimeoutMs);
}

void SwaySession::type(QProcess& typist, const QStringList& arguments) {
  typist.setProcessChannelMode(QProcess::ForwardedChannels);
  typist.start("wtype", arguments);
}

}  // namespace talvo::test
