#include "replay/replay.h"

#include "audio/file/file_audio_source.h"
#include "controller/dictation_controller.h"
#include "pipeline/errors.h"
#include "replay/capture_inserter.h"
#include "replay/clip_listing.h"
#include "replay/replay_report.h"
#include "speech/server_transcriber.h"
#include "storage/file_io.h"

#include <QCoroTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QUrl>

#include <chrono>
#include <optional>

namespace talvo {
namespace {

using namespace std::chrono_literals;

constexpr double releaseAfterEnd = 0.15;  // seconds of tail after the clip before release
constexpr double resultTimeout = 15.0;    // seconds to wait for a final state after release
constexpr auto pollInterval = 5ms;
// Longer clips are refused: a header that lies about its rate could otherwise ask for
// hours of real-time playback.
constexpr double maxClipSeconds = 600.0;
// The speech server's first probe usually answers within milliseconds; the report should
// name the real state rather than "not known yet".
constexpr double firstProbeWait = speech::ServerTranscriber::kDefaultProbeTimeout + 0.25;
// A reference text is a sentence or two; the cap only keeps a wrong file from eating memory.
constexpr int64_t maxSideFileBytes = 1 << 20;

struct Observation {
  std::optional<DictationRecord> record;
  std::optional<DictationState> finalState;
  int partials = 0;
  std::optional<double> firstPartial;
  QElapsedTimer start;
};

using Print = std::function<void(const QString&)>;

SideText readSideFile(const QString& directory, const QString& clip, const QString& extension) {
  const QString name = QFileInfo(clip).completeBaseName() + "." + extension;
  const QString path = QDir(directory).filePath(name);
  const file_io::ReadResult read = file_io::readAll(path, maxSideFileBytes);
  if (read.data) return {QString::fromUtf8(*read.data), std::nullopt};
  if (read.missing) return {};
  const QString prefix = path + QStringLiteral(": ");
  return {QString(),
          name + ": " +
              (read.reason.startsWith(prefix) ? read.reason.mid(prefix.size()) : read.reason)};
}

QString describeFinal(const std::optional<DictationState>& state) {
  return state ? toString(*state) : QStringLiteral("no final state");
}

bool isFinal(const DictationState& state) {
  return std::holds_alternative<dictation_state::Done>(state) ||
         std::holds_alternative<dictation_state::Failed>(state) ||
         std::holds_alternative<dictation_state::Discarded>(state);
}

UserDictionary replayDictionary() { return UserDictionary{{QStringLiteral("Vorlith")}, {}}; }

void observe(DictationController& controller, const std::shared_ptr<Observation>& seen) {
  controller.onPartial = [seen](const std::vector<SpokenWord>&) {
    ++seen->partials;
    if (!seen->firstPartial) seen->firstPartial = seen->start.nsecsElapsed() / 1e9;
  };
  controller.onRecord = [seen](const DictationRecord& record) { seen->record = record; };
  controller.onState = [seen](const DictationState& state) {
    if (isFinal(state)) seen->finalState = state;
  };
}

std::chrono::milliseconds millis(double seconds) {
  return std::chrono::milliseconds(std::llround(std::max(0.0, seconds) * 1000));
}

// The clip as a source, or nothing after a line saying why it is skipped.
std::shared_ptr<FileAudioSource> openClip(const QString& directory, const ClipName& clip,
                                          double speed, const Print& print) {
  if (!clip.validUtf8) {
    print(clip.name + QStringLiteral(": skipped, the name is not valid UTF-8"));
    return nullptr;
  }
  std::shared_ptr<FileAudioSource> source;
  try {
    source = std::make_shared<FileAudioSource>(QDir(directory).filePath(clip.name), speed);
  } catch (...) {
    print(clip.name + QStringLiteral(": skipped: ") + errorText(std::current_exception()));
    return nullptr;
  }
  if (source->duration() > maxClipSeconds) {
    print(QStringLiteral("%1: skipped, %2 s long (clips are played up to %3 s)")
              .arg(clip.name)
              .arg(std::llround(source->duration()))
              .arg(maxClipSeconds));
    return nullptr;
  }
  return source;
}

// One press and release on a fresh controller; what it reported.
QCoro::Task<std::shared_ptr<Observation>> play(std::shared_ptr<FileAudioSource> source,
                                               const ReplayOptions& options) {
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
  co_return seen;
}

// The recogniser behind the configured speech server, once the server's first probe is in.
QCoro::Task<std::shared_ptr<Transcriber>> withSpeechServer(const ReplayOptions& options,
                                                           const Print& print) {
  if (options.speechEndpoint.isEmpty()) co_return options.transcriber;
  auto server = speech::ServerTranscriber::create(
      options.transcriber, {QUrl(options.speechEndpoint), options.speechModel});
  QElapsedTimer clock;
  clock.start();
  while (server->status() == SpeechServerStatus::unknown && clock.elapsed() < firstProbeWait * 1000)
    co_await QCoro::sleepFor(pollInterval);
  print(QStringLiteral("speech: ") + label(server->status()));
  co_return server;
}

}  // namespace

QCoro::Task<ReplayOutcome> replay(QString directory, ReplayOptions options) {
  ReplayOutcome outcome;
  const ClipListing listing = listClips(directory);
  if (listing.failure) {
    outcome.failure = listing.failure;
    co_return outcome;
  }
  const Print print = [out = options.print](const QString& line) { out(printableLine(line)); };
  print(QStringLiteral("cleanup: ") + label(options.cleaner->status()));
  QCoro::Task<std::shared_ptr<Transcriber>> choosing = withSpeechServer(options, print);
  options.transcriber = co_await choosing;

  std::vector<ClipResult> results;
  for (const ClipName& clip : listing.clips) {
    std::shared_ptr<FileAudioSource> source = openClip(directory, clip, options.speed, print);
    if (!source) continue;
    if (outcome.played == 0) co_await options.transcriber->prepare(source->format());
    ++outcome.played;
    QCoro::Task<std::shared_ptr<Observation>> playing = play(source, options);
    const std::shared_ptr<Observation> seen = co_await playing;
    if (!seen->record) {
      print(clip.name + QStringLiteral(": ") + describeFinal(seen->finalState));
      continue;
    }
    results.push_back(makeClipResult(clip.name, *seen->record,
                                     readSideFile(directory, clip.name, "said"),
                                     readSideFile(directory, clip.name, "want")));
    for (const QString& line :
         clipLines(results.back(), *seen->record, seen->partials, seen->firstPartial))
      print(line);
  }

  if (auto summary = summaryLine(results)) print(*summary);
  const QString output = QDir(directory).absoluteFilePath(
      options.useAI ? QStringLiteral("replay.json") : QStringLiteral("replay-rules.json"));
  try {
    file_io::writeAtomically(output, resultsJson(results));
  } catch (const Error& e) {
    outcome.failure = e.message();
    co_return outcome;
  }
  print(QStringLiteral("wrote ") + output);
  if (outcome.played == 0)
    outcome.failure = QStringLiteral("no clip in %1 could be played").arg(directory);
  co_return outcome;
}

}  // namespace talvo
