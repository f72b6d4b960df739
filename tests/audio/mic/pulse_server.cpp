#include "pulse_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>

namespace talvo::test {
namespace {

constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 3000;
constexpr int toolTimeoutMs = 30000;

// Nothing may reap an orphaned daemon here, so a zombie counts as gone.
bool alive(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  const QByteArray line = stat.readAll();
  return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

}  // namespace

QStringList PulseServer::virtualMicrophone() {
  return {
      "module-null-source source_name=silence format=float32le rate=48000 channels=1 "
      "max_latency_msec=20",
      "module-virtual-source source_name=vmic master=silence uplink_sink=vmic_uplink "
      "source_properties=device.description=Virtual_Microphone"};
}

PulseServer::PulseServer(const QStringList& modules) {
  const QString root = dir_.path();
  const QString socket = root + "/native";
  qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (auto [variable, sub] : {std::pair{"HOME", "home"},
                               {"XDG_RUNTIME_DIR", "runtime"},
                               {"XDG_STATE_HOME", "state"},
                               {"XDG_CONFIG_HOME", "config"},
                               {"PULSE_RUNTIME_PATH", "runtime/pulse"},
                               {"PULSE_STATE_PATH", "state"}}) {
    QDir(root).mkpath(sub);
    env.insert(variable, root + '/' + sub);
  }
  QStringList arguments{"-D",
                        "-n",
                        "--system=false",
                        "--exit-idle-time=-1",
                        "--disallow-exit",
                        "--use-pid-file=yes",
                        "--enable-memfd=no",
                        "--log-target=file:" + root + "/pa.log",
                        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket};
  for (const QString& module : modules) arguments << "--load=" + module;
  QProcess daemon;
  daemon.setProcessEnvironment(env);
  daemon.start("pulseaudio", arguments);
  if (!daemon.waitForFinished(startTimeoutMs) || daemon.exitCode() != 0) return;
  for (QDeadlineTimer deadline(startTimeoutMs); !deadline.hasExpired(); QThread::msleep(20)) {
    QFile pidFile(root + "/runtime/pulse/pid");
    if (pidFile.open(QIODevice::ReadOnly)) pid_ = pidFile.readAll().trimmed().toLongLong();
    if (pid_ > 0 && run("pactl", {"info"})) return;
  }
}

PulseServer::~PulseServer() {
  if (pid_ <= 0) return;
  ::kill(pid_t(pid_), SIGTERM);
  for (QDeadlineTimer deadline(stopTimeoutMs); alive(pid_) && !deadline.hasExpired();)
    QThread::msleep(10);
  if (alive(pid_)) ::kill(pid_t(pid_), SIGKILL);
}

QString PulseServer::log() const {
  QFile file(dir_.filePath("pa.log"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::optional<QString> PulseServer::run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(toolTimeoutMs)) {
    process.kill();
    process.waitForFinished();
    return std::nullopt;
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace talvo::test
