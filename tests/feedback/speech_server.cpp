#include "speech_server.h"

#include <QDir>
#include <QFile>
#include <QtCore/qtestsupport_core.h>

#include <csignal>
#include <sys/prctl.h>

namespace talvo::test {
namespace {

// Generous: the machine is shared, and what never comes must fail the test, not hang it.
constexpr int waitMs = 20000;
// The daemon sometimes never ends on SIGTERM; it is killed after this.
constexpr int stopTimeoutMs = 1000;

QString read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool write(const QString& path, const QByteArray& text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

}  // namespace

SpeechServer::SpeechServer() {
  const QDir root(dir_.path());
  for (const char* sub : {"config/modules", "client/speech-dispatcher", "log", "home", "runtime"})
    root.mkpath(sub);
  const QByteArray at = root.path().toUtf8();
  configured_ =
      write(root.filePath("config/speechd.conf"),
            "LogLevel 3\nLogDir \"" + at +
                "/log\"\nAudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n" +
                "AddModule \"recorder\" \"sd_generic\" \"recorder.conf\"\nDefaultModule "
                "recorder\n") &&
      write(root.filePath("config/modules/recorder.conf"),
            R"(GenericExecuteSynth "echo \'start $DATA\' >> )" + at + "/spoken; echo $$ >> " + at +
                "/holders; exec sleep 600\"\nAddVoice \"en\" \"male1\" \"recorder\"\n" +
                "GenericLanguage \"en\" \"en\" \"utf-8\"\n") &&
      write(root.filePath("client/speech-dispatcher/speechd.conf"), "DisableAutoSpawn\n");
  qputenv("SPEECHD_ADDRESS", "unix_socket:" + at + "/runtime/speechd.sock");
  qputenv("XDG_CONFIG_HOME", at + "/client");
}

bool SpeechServer::start() {
  stop();
  const QString at = dir_.path();
  QFile::remove(at + "/log/speech-dispatcher.log");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", at + "/home");
  env.insert("XDG_RUNTIME_DIR", at + "/runtime");
  daemon_ = std::make_unique<QProcess>();
  daemon_->setProcessEnvironment(env);
  daemon_->setStandardOutputFile(QProcess::nullDevice());
  daemon_->setStandardErrorFile(QProcess::nullDevice());
  // A test that crashes must not leave its daemon behind.
  daemon_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  daemon_->start("speech-dispatcher",
                 {"--run-single", "--timeout", "0", "--config-dir", at + "/config", "--module-dir",
                  "/usr/lib/speech-dispatcher-modules", "--communication-method", "unix_socket",
                  "--socket-path", at + "/runtime/speechd.sock"});
  return configured_ &&
         QTest::qWaitFor([&] { return log().contains("waiting for clients"); }, waitMs);
}

void SpeechServer::stop() {
  if (!daemon_) return;
  daemon_->terminate();
  if (!daemon_->waitForFinished(stopTimeoutMs)) {
    daemon_->kill();
    daemon_->waitForFinished();
  }
  daemon_.reset();
  // A killed daemon leaves the utterance it held behind, in a process group of its own. Only a
  // process that still is such a holder is ended: one that has ended may have passed its PID on.
  for (const QString& pid : read(dir_.filePath("holders")).split('\n', Qt::SkipEmptyParts))
    if (read("/proc/" + pid + "/cmdline") == QStringLiteral("sleep%1600%1").arg(QChar(0)))
      ::kill(pid.toInt(), SIGKILL);
}

QString SpeechServer::log() const { return read(dir_.filePath("log/speech-dispatcher.log")); }

bool SpeechServer::waitUntilStarted(const QString& text) const {
  return QTest::qWaitFor(
      [&] { return read(dir_.filePath("spoken")).split('\n').contains("start " + text); }, waitMs);
}

}  // namespace talvo::test
