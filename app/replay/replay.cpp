#include "replay/replay.h"

#include "audio/file/file_audio_source.h"
#include "controller/dictation_controller.h"
#include "replay/capture_inserter.h"
#include "replay/replay_report.h"

#include <QCoroTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>

#include <chrono>
#include <optional>

namespace talvo {
namespace {

using namespace std::chrono_literals;

constexpr double releaseAfterEnd = 0.15;    // seconds of tail after the clip before release
constexpr double resultTimeout = 15.0;      // seconds to wait for a final state after release
constexpr auto pollInterval = 5ms;

struct Observation {
  std::optional<DictationRecord> record;
  std::optional<DictationState> finalState;
  int partials = 0;
  std::optional<double> firstPartial;
  QElapsedTimer start;
};

QStringList clipNames(const QString& directory) {
  QStringList names;
  for (const QString& name : QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name))
    if (QFileInfo(name).suffix() == QStringLiteral("wav")) names << name;
  std::sort(names.begin(), names.end());  // code-unit order, independent of the locale
  return names;
}

QString readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QString sideFile(const QString& directory, const QString& clip, const QString& extension) {
  return QDir(directory).filePath(QFileInfo(clip).completeBaseName() + "." + extension);
}

QString describeFinal(const std::optional<DictationState>& state) {
  return state ? toString(*state) : QStringLiteral("no final state");
}

UserDictionary replayDictionary() { return UserDictionary{{QStringLiteral("Vorlith")}, {}}; }

void observe(DictationController& controller, std::shared_ptr<Observation> seen) {
  controller.onPartial = [seen](const std::vector<SpokenWord>&) {
    ++seen->partials;
    if (!seen->firstPartial) seen->firstPartial = seen->start.nsecsElapsed() / 1e9;
  };
  controller.onRecord = [seen](const DictationRecord& record) { seen->record = record; };
  controller.onState = [seen](const DictationState& state) {
    if (std::holds_alternative<dictation_state::Done>(state) ||
        std::holds_alternative<dictation_state::Failed>(state))
      seen->finalState = state;
  };
}

std::chrono::milliseconds millis(double seconds) {
  return std::chrono::milliseconds(std::llround(std::max(0.0, seconds) * 1000));
}

}  // namespace

QCoro::Task<QString> replay(QString directory, ReplayOptions options) {
  const auto print = options.print;
  print(QStringLiteral("cleanup: ") + label(options.cleaner->status()));

  std::vector<ClipResult> results;
  bool prepared = false;
  for (const QString& clip : clipNames(directory)) {
    std::shared_ptr<FileAudioSource> source;
    try {
      source = std::make_shared<FileAudioSource>(QDir(directory).filePath(clip), options.speed);
    } catch (...) {
      continue;  // not audio we can open: left out of every report
    }
    if (!prepared) {
      co_await options.transcriber->prepare(source->format());
      prepared = true;
    }
    auto inserter = std::make_shared<CaptureInserter>();
    auto controller = DictationController::create(
        {source, options.transcriber, options.cleaner, inserter, nullptr, replayDictionary});
    auto seen = std::make_shared<Observation>();
    observe(*controller, seen);
    seen->start.start();

    const double duration = source->duration();
    const double playback = options.speed > 0 ? duration / options.speed : 0.0;
    controller->handle(hotkey_event::Pressed{});
    co_await QCoro::sleepFor(millis(playback + releaseAfterEnd));
    controller->handle(hotkey_event::Released{duration});
    QElapsedTimer sinceRelease;
    sinceRelease.start();
    while (!seen->finalState && sinceRelease.elapsed() < resultTimeout * 1000)
      co_await QCoro::sleepFor(pollInterval);

    const QString said = readText(sideFile(directory, clip, QStringLiteral("said")));
    const QString want = readText(sideFile(directory, clip, QStringLiteral("want")));
    if (!seen->record) {
      print(clip + QStringLiteral(": ") + describeFinal(seen->finalState));
      continue;
    }
    results.push_back(makeClipResult(clip, *seen->record, said, want));
    for (const QString& line : clipLines(results.back(), *seen->record, seen->partials, seen->firstPartial))
      print(line);
  }

  if (auto summary = summaryLine(results)) print(*summary);
  const QString output = QDir(directory).absoluteFilePath(
      options.useAI ? QStringLiteral("replay.json") : QStringLiteral("replay-rules.json"));
  QSaveFile file(output);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(resultsJson(results));
    file.commit();
  }
  print(QStringLiteral("wrote ") + output);
  co_return output;
}

}  // namespace talvo
