#include "pulse_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>

namespace talvo::test {
namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 3000;

// A stopped daemon may linger as a zombie when nothing reaps orphans; that counts as gone.
bool alive(pid_t pid) {
  if (::kill(pid, 0) != 0) return false;
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return true;
  const QByteArray line = stat.readAll();
  const qsizetype close = line.lastIndexOf(')');
  return close < 0 || line.mid(close + 2, 1) != "Z";
}

}  // namespace

QStringList PulseServer::virtualMicrophone() {
  return {"module-null-source source_name=silence format=float32le rate=48000 channels=1 "
          "max_latency_msec=20",
          "module-virtual-source source_name=vmic master=silence uplink_sink=vmic_uplink "
          "source_properties=device.description=Virtual_Microphone"};
}

QStringList PulseServer::outputOnly() { return {"module-null-sink sink_name=speakers"}; }

PulseServer::PulseServer(const QStringList& modules) {
  const QString root = dir_.path();
  for (const char* sub : {"runtime", "state", "home", "config"}) QDir(root).mkpath(sub);
  const QString socket = root + "/native";
  qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", root + "/home");
  env.insert("XDG_RUNTIME_DIR", root + "/runtime");
  env.insert("XDG_STATE_HOME", root + "/state");
  env.insert("XDG_CONFIG_HOME", root + "/config");
  env.insert("PULSE_RUNTIME_PATH", root + "/runtime/pulse");
  env.insert("PULSE_STATE_PATH", root + "/state");

  QStringList arguments{"-D", "-n", "--system=false", "--exit-idle-time=-1", "--disallow-exit",
                        "--use-pid-file=yes", "--enable-memfd=no", "--log-target=file:" + root + "/pa.log",
                        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket};
  for (const QString& module : modules) arguments << "--load=" + module;
  QProcess daemon;
  daemon.setProcessEnvironment(env);
  daemon.start("pulseaudio", arguments);
  if (!daemon.waitForFinished(kStartTimeoutMs) || daemon.exitCode() != 0) return;

  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < kStartTimeoutMs) {
    QFile pidFile(root + "/runtime/pulse/pid");
    if (pidFile.open(QIODevice::ReadOnly)) pid_ = pid_t(pidFile.readAll().trimmed().toLong());
    if (pid_ > 0 && run("pactl", {"info"}, 2000)) return;
    QThread::msleep(20);
  }
}

PulseServer::~PulseServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  QElapsedTimer clock;
  clock.start();
  while (alive(pid_) && clock.elapsed() < kStopTimeoutMs) QThread::msleep(10);
  if (alive(pid_)) ::kill(pid_, SIGKILL);
}

QString PulseServer::log() const {
  QFile file(dir_.filePath("pa.log"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::optional<QString> PulseServer::run(const QString& program, const QStringList& arguments, int timeoutMs) const {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished();
    return std::nullopt;
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace talvo::test
