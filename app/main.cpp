// The talvo program: picks a mode from the command line.
#include "render/render_modes.h"
#include "replay/command_line.h"
#include "replay/replay.h"
#include "shell/desktop_main.h"
#include "shell/single_instance.h"

#include "audio/file/file_audio_source.h"
#include "cleanup/local_model_cleaner.h"
#include "speech/sphinx_transcriber.h"
#include "storage/app_info.h"
#include "storage/preferences.h"
#include "storage/settings_store.h"

#include <QCoreApplication>
#include <QCoroTimer>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdio>

namespace {

using namespace talvo;
using namespace std::chrono_literals;

// The model server is probed in the background; its first answer usually comes within
// milliseconds, and the report should name the real state rather than "not known yet".
constexpr qint64 firstProbeWaitMs = qint64(LocalModelCleaner::kDefaultProbeTimeout * 1000) + 250;

QCoro::Task<> awaitFirstProbe(std::shared_ptr<Cleaner> cleaner) {
  QElapsedTimer clock;
  clock.start();
  while (cleaner->status() == AIStatus::unknown && clock.elapsed() < firstProbeWaitMs)
    co_await QCoro::sleepFor(10ms);
}

void printLine(const QString& line) {
  const QByteArray bytes = line.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
  std::fflush(stdout);
}

QCoro::Task<> runReplay(mode::Replay replayMode) {
  Preferences preferences(std::make_shared<QSettingsStore>());
  LocalModelCleaner::Options cleanerOptions;
  cleanerOptions.endpoint = QUrl(preferences.aiEndpoint());
  cleanerOptions.model = preferences.aiModel();
  cleanerOptions.enabled = replayMode.useAI;

  ReplayOptions options;
  options.transcriber = std::make_shared<speech::SphinxTranscriber>();
  options.cleaner = LocalModelCleaner::create(cleanerOptions);
  options.useAI = replayMode.useAI;
  options.print = printLine;
  options.speechEndpoint = preferences.speechEndpoint();
  options.speechModel = preferences.speechModel();
  if (replayMode.useAI) co_await awaitFirstProbe(options.cleaner);
  QCoro::Task<ReplayOutcome> replaying = replay(replayMode.directory, options);
  const ReplayOutcome outcome = co_await replaying;
  if (outcome.failure) {
    const QByteArray message = "talvo: " + outcome.failure->toUtf8() + '\n';
    std::fwrite(message.constData(), 1, std::size_t(message.size()), stderr);
  }
  QCoreApplication::exit(outcome.failure ? 1 : 0);
}

// Hands the command to the running program over the session bus; a failure says why.
int runRemote(mode::Remote remote) {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fputs("talvo: no session bus, so no running talvo to reach\n", stderr);
    return 1;
  }
  QDBusPendingCall call = commandRunning(bus, remote.command);
  call.waitForFinished();
  if (!call.isError()) return 0;
  const bool absent = call.error().type() == QDBusError::ServiceUnknown;
  const QByteArray message =
      absent ? QByteArray("the program is not running") : call.error().message().toLocal8Bit();
  std::fprintf(stderr, "talvo: %s\n", message.constData());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const Mode mode = selectMode(arguments);
  if (const auto status = runInfoMode(mode, AppInfo::version(), AppInfo::build())) return *status;
  if (const auto status = runRenderMode(mode, argc, argv)) return *status;

  if (const auto* remote = std::get_if<mode::Remote>(&mode)) {
    QCoreApplication app(argc, argv);
    return runRemote(*remote);
  }
  if (const auto* replayMode = std::get_if<mode::Replay>(&mode)) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Talvo"));
    QCoreApplication::setApplicationName(QStringLiteral("talvo"));
    // Started from the running loop: a run with nothing to await would otherwise ask the
    // loop to quit before it had started, and the process would never end.
    QTimer::singleShot(0, &app, [mode = *replayMode] { runReplay(mode); });
    return QCoreApplication::exec();
  }
  return runDesktop(argc, argv);
}
