#include "e2e/talvo_instance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace talvo::test {

namespace {

constexpr int pollMs = 10;
constexpr int historyCap = 500;

QString readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

bool eventually(const std::function<bool()>& condition, int timeoutMs) {
  for (QDeadlineTimer deadline(timeoutMs); !condition();) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, pollMs);
    QThread::msleep(pollMs);
  }
  return true;
}

void runEventsFor(int ms) {
  for (QDeadlineTimer deadline(ms); !deadline.hasExpired(); QThread::msleep(pollMs))
    QCoreApplication::processEvents(QEventLoop::AllEvents, pollMs);
}

TalvoInstance::TalvoInstance(const Options& options) {
  environment_ = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"config", "data", "cache", "runtime", "home"})
    QDir(dir_.path()).mkpath(name);
  QFile::setPermissions(folder("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  environment_.insert("XDG_CONFIG_HOME", folder("config"));
  environment_.insert("XDG_DATA_HOME", folder("data"));
  environment_.insert("XDG_CACHE_HOME", folder("cache"));
  environment_.insert("XDG_RUNTIME_DIR", folder("runtime"));
  environment_.insert("HOME", folder("home"));
  environment_.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
  environment_.insert("QT_QPA_PLATFORM", "xcb");
  if (!options.mainWindow) environment_.insert("TALVO_NO_WINDOW", "1");
  for (const auto& [name, value] : options.environment)
    if (value)
      environment_.insert(name, *value);
    else
      environment_.remove(name);
  if (options.onboarded) {
    // A user who finished set-up. Polish is off so that no cleanup waits on a local model
    // server that may or may not run on this machine.
    QDir(folder("config")).mkpath("Talvo");
    QFile settings(folder("config") + "/Talvo/Talvo.ini");
    if (settings.open(QIODevice::WriteOnly))
      settings.write("[General]\nonboarded=true\nsmartPolish=false\n");
  }
  process_.setProcessEnvironment(environment_);
  process_.setStandardOutputFile(dir_.filePath("output.txt"));
  process_.setStandardErrorFile(dir_.filePath("output.txt"), QIODevice::Append);
}

TalvoInstance::~TalvoInstance() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(stopTimeoutMs))
    process_.kill(), process_.waitForFinished(stopTimeoutMs);
}

bool TalvoInstance::launch() {
  process_.start(TALVO_PROGRAM, {});
  return process_.waitForStarted(startTimeoutMs);
}

bool TalvoInstance::start() {
  return launch() &&
         eventually([this] { return !running() || logged("launched"); }, startTimeoutMs) &&
         running();
}

std::vector<History::Entry> TalvoInstance::history() const {
  return History(folder("data") + "/Talvo/history.jsonl", historyCap).recent(historyCap);
}

QString TalvoInstance::log() const { return readFile(folder("data") + "/Talvo/talvo.log"); }

QStringList TalvoInstance::outcomes() const {
  QStringList found;
  for (const QString& line : log().split(u'\n'))
    if (line.contains("  dictation ") && line.contains(" -> ")) found << line.section(" -> ", -1);
  return found;
}

QString TalvoInstance::output() const { return readFile(dir_.filePath("output.txt")); }

ProgramExit TalvoInstance::runAgain(const QStringList& arguments) const {
  return run(environment_, arguments, startTimeoutMs);
}

ProgramExit TalvoInstance::run(const QProcessEnvironment& environment, const QStringList& arguments,
                               int timeoutMs) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(TALVO_PROGRAM, arguments);
  ProgramExit exit;
  exit.finished = process.waitForFinished(timeoutMs);
  if (!exit.finished) process.kill(), process.waitForFinished(stopTimeoutMs);
  exit.crashed = process.exitStatus() == QProcess::CrashExit;
  exit.code = process.exitCode();
  exit.output = QString::fromUtf8(process.readAllStandardOutput());
  exit.errors = QString::fromUtf8(process.readAllStandardError());
  return exit;
}

}  // namespace talvo::test
