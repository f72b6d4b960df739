#include "speech_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace talvo::test {
namespace {

constexpr int startTimeoutMs = 20000;
// The daemon sometimes never ends on SIGTERM; it is killed after this.
constexpr int stopTimeoutMs = 1000;
constexpr int speechTimeoutMs = 20000;
constexpr int pollMs = 20;
constexpr auto modules = "/usr/lib/speech-dispatcher-modules";

bool write(const QString& path, const QByteArray& text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QString read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

SpeechServer::SpeechServer() {
  const QDir root(dir_.path());
  for (const char* sub : {"config/modules", "client/speech-dispatcher", "log", "home", "runtime"}) root.mkpath(sub);
  const QByteArray daemonConfig = "LogLevel 3\nLogDir \"" + root.filePath("log").toUtf8() +
                                  "\"\n"
                                  "AudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n"
                                  "AddModule \"recorder\" \"sd_generic\" \"recorder.conf\"\n"
                                  "DefaultModule recorder\n";
  const QByteArray voiceConfig = "GenericExecuteSynth \"echo \\'start $DATA\\' >> " + root.filePath("spoken").toUtf8() +
                                 "; echo $$ >> " + root.filePath("holders").toUtf8() +
                                 "; exec sleep 600\"\n"
                                 "AddVoice \"en\" \"male1\" \"recorder\"\n"
                                 "GenericLanguage \"en\" \"en\" \"utf-8\"\n";
  configured_ = write(root.filePath("config/speechd.conf"), daemonConfig) &&
                write(root.filePath("config/modules/recorder.conf"), voiceConfig) &&
                write(root.filePath("client/speech-dispatcher/speechd.conf"), "DisableAutoSpawn\n");
  qputenv("SPEECHD_ADDRESS", "unix_socket:" + root.filePath("runtime/speechd.sock").toUtf8());
  qputenv("XDG_CONFIG_HOME", root.filePath("client").toUtf8());
}

SpeechServer::~SpeechServer() { stop(); }

bool SpeechServer::start() {
  stop();
  if (!configured_) return false;
  const QDir root(dir_.path());
  QFile::remove(root.filePath("log/speech-dispatcher.log"));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", root.filePath("home"));
  env.insert("XDG_RUNTIME_DIR", root.filePath("runtime"));
  daemon_ = std::make_unique<QProcess>();
  daemon_->setProcessEnvironment(env);
  daemon_->setStandardOutputFile(QProcess::nullDevice());
  daemon_->setStandardErrorFile(QProcess::nullDevice());
  // A test that crashes must not leave its daemon behind.
  daemon_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  daemon_->start("speech-dispatcher", {"--run-single", "--timeout", "0", "--config-dir", root.filePath("config"),
                                       "--module-dir", modules, "--communication-method", "unix_socket",
                                       "--socket-path", root.filePath("runtime/speechd.sock"), "--pid-file",
                                       root.filePath("runtime/speechd.pid")});
  if (!daemon_->waitForStarted(startTimeoutMs)) return false;
  for (QDeadlineTimer deadline(startTimeoutMs); !deadline.hasExpired(); QThread::msleep(pollMs)) {
    if (log().contains("waiting for clients")) return true;
    if (daemon_->state() != QProcess::Running) return false;
  }
  return false;
}

void SpeechServer::stop() {
  if (!daemon_) return;
  daemon_->terminate();
  if (!daemon_->waitForFinished(stopTimeoutMs)) {
    daemon_->kill();
    daemon_->waitForFinished();
  }
  daemon_.reset();
  endHolders();
}

// A killed daemon leaves the utterance it was holding behind, in a process group of its own.
// Each one wrote its PID; one that has already ended may have passed its PID on, so only a
// process that still is such a holder is ended.
void SpeechServer::endHolders() const {
  for (const QString& pid : read(dir_.filePath("holders")).split('\n', Qt::SkipEmptyParts))
    if (read("/proc/" + pid + "/cmdline") == QStringLiteral("sleep%1600%1").arg(QChar(0)))
      ::kill(pid_t(pid.toInt()), SIGKILL);
}

QString SpeechServer::log() const { return read(dir_.filePath("log/speech-dispatcher.log")); }

QStringList SpeechServer::started() const {
  return read(dir_.filePath("spoken")).split('\n', Qt::SkipEmptyParts);
}

bool SpeechServer::waitUntilStarted(const QString& text) const {
  for (QDeadlineTimer deadline(speechTimeoutMs); !deadline.hasExpired(); QThread::msleep(pollMs))
    if (started().contains("start " + text)) return true;
  return false;
}

}  // namespace talvo::test
