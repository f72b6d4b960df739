#include "controller/dictation_controller.h"

#include "pipeline/errors.h"
#include "pipeline/shared_task.h"
#include "storage/log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace talvo {
namespace {

using Clock = DictationController::Clock;

const QString silenceMessage =
    QStringLiteral("Heard only silence. Check the microphone permission.");
const QString noTextMessage = QStringLiteral("Couldn't turn that into text.");
const QString emptyMessage = QStringLiteral("Didn't catch that.");

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

QString timingLine(const DictationRecord& r) {
  const QString note = r.note.isEmpty() ? QString() : QStringLiteral(", ") + r.note;
  return QString::asprintf("dictation %.1fs stt %.0fms cleanup %.0fms (", r.seconds, r.sttMs,
                           r.cleanupMs) +
         storedForm(r.cleanup) + note + QString::asprintf(") total %.0fms -> ", r.totalMs) +
         describe(r.outcome);
}

}  // namespace

std::shared_ptr<DictationController> DictationController::create(Parts parts) {
  return std::shared_ptr<DictationController>(new DictationController(std::move(parts)));
}

DictationController::DictationController(Parts parts) : parts_(std::move(parts)) {
  // Holds the feeder, not the controller: audio may keep arriving while the controller goes.
  parts_.audio->setOnBuffer(
      [feeder = feeder_](const AudioBuffer& buffer) { feeder->push(buffer); });
}

void DictationController::handle(const HotkeyEvent& event) {
  try {
    if (std::holds_alternative<hotkey_event::Pressed>(event)) {
      begin();
    } else if (std::holds_alternative<hotkey_event::Released>(event)) {
      stop(std::nullopt);
    } else if (const auto* aborted = std::get_if<hotkey_event::Aborted>(&event)) {
      stop(aborted->reason);
    } else if (starting_) {
      report(dictation_state::Locked{});
    }
  } catch (...) {
    Log::info(QStringLiteral("dictation failed: ") + errorText(std::current_exception()));
  }
}

void DictationController::report(const DictationState& state) {
  if (onState) onState(state);
}

void DictationController::begin() {
  const int64_t generation = ++generation_;
  auto take = feeder_->reset();
  const QStringList terms = parts_.dictionary ? parts_.dictionary().terms() : QStringList();
  parts_.cleaner->prewarm(terms);
  try {
    parts_.audio->start();
  } catch (...) {
    report(dictation_state::Failed{errorText(std::current_exception())});
    return;
  }
  report(dictation_state::Listening{});
  listeningSince_ = Clock::now();
  const AudioFormat format = parts_.audio->format();
  starting_ = share(startSession(weak_from_this(), parts_.transcriber, feeder_, std::move(take),
                                 terms, format, partialForwarder(generation)));
}

Transcriber::PartialHandler DictationController::partialForwarder(int64_t generation) {
  std::weak_ptr<DictationController> weak = weak_from_this();
  return [weak, generation](std::vector<SpokenWord> words) {
    auto* app = QCoreApplication::instance();
    if (!app) return;
    // Words come from the recogniser's thread; everything about the controller is main-thread.
    QMetaObject::invokeMethod(
        app,
        [weak, generation, words = std::move(words)] {
          auto self = weak.lock();
          if (!self || self->generation_ != generation || !self->starting_) return;
          if (self->onPartial) self->onPartial(words);
        },
        Qt::QueuedConnection);
  };
}

QCoro::Task<std::shared_ptr<TranscriptionSession>> DictationController::startSession(
    std::weak_ptr<DictationController> weak, std::shared_ptr<Transcriber> transcriber,
    std::shared_ptr<AudioFeeder> feeder, std::shared_ptr<AudioFeeder::Take> take, QStringList terms,
    AudioFormat format, Transcriber::PartialHandler forward) {
  std::shared_ptr<TranscriptionSession> session;
  std::exception_ptr failure;
  try {
    auto opening = transcriber->begin(terms, format, forward);
    session = co_await opening;
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure || !session) {
    Log::info(QStringLiteral("speech: session start failed: ") + errorText(failure));
    co_return std::shared_ptr<TranscriptionSession>();
  }
  // Also when a later press has begun meanwhile: this take's audio is still waiting for it.
  if (weak.lock()) feeder->attach(take, session);
  co_return session;
}

void DictationController::stop(std::optional<AbortReason> reason) {
  if (!starting_) return;
  SessionHandle starting = *std::exchange(starting_, std::nullopt);
  listeningSince_.reset();
  parts_.audio->stop();
  const int64_t frames = feeder_->frames();
  const double rate = feeder_->sampleRate();
  const double rms = feeder_->rms();
  const Clock::time_point release = Clock::now();

  if (reason) return discard(starting, *reason);
  const double seconds = rate > 0 ? double(frames) / rate : 0.0;
  if (seconds < minSeconds) return discard(starting, AbortReason::tooShort);
  if (!(rms >= silenceRMS)) return failSilence(starting, rms);
  accept(starting, seconds, release);
}

QCoro::Task<> DictationController::cancelSession(SessionHandle starting) {
  auto session = co_await starting;
  if (session) co_await session->cancel();
}

void DictationController::discard(SessionHandle starting, AbortReason reason) {
  cancelSession(std::move(starting));
  report(dictation_state::Discarded{reason});
}

void DictationController::failSilence(SessionHandle starting, double rms) {
  cancelSession(std::move(starting));
  Log::info(QStringLiteral("audio: silent buffer (rms ") +
            QString::number(rms, 'g', QLocale::FloatingPointShortest) +
            QStringLiteral("). Mic permission is usually the cause."));
  report(dictation_state::Failed{silenceMessage});
}

void DictationController::accept(SessionHandle starting, double seconds,
                                 Clock::time_point release) {
  report(dictation_state::Working{});
  UserDictionary dictionary = parts_.dictionary ? parts_.dictionary() : UserDictionary{};
  auto transcript = share(
      transcribeAndClean(std::move(starting), parts_.cleaner, release, std::move(dictionary)));
  insertChain_ = share(insert(insertChain_, transcript, weak_from_this(), seconds, release));
}

QCoro::Task<std::optional<DictationRecord>> DictationController::transcribeAndClean(
    SessionHandle starting, std::shared_ptr<Cleaner> cleaner, Clock::time_point release,
    UserDictionary dictionary) {
  auto session = co_await starting;
  if (!session) co_return std::nullopt;

  QString raw;
  std::exception_ptr failure;
  try {
    raw = co_await session->finish();
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) {
    Log::info(QStringLiteral("speech: finish failed: ") + errorText(failure));
    co_return std::nullopt;
  }

  DictationRecord t;
  t.raw = raw;
  t.words = session->recognizedWords();
  t.engine = session->engine();
  t.sttMs = msSince(release);
  const Clock::time_point cleanupStart = Clock::now();
  const QString fixed = dictionary.apply(raw);
  auto cleaning = cleaner->clean(fixed, dictionary.terms());
  const CleanupResult result = co_await cleaning;
  t.text = dictionary.applyAfterCleanup(result.text);
  t.cleanup = result.kind;
  t.note = result.note;
  t.cleanupMs = msSince(cleanupStart);
  co_return t;
}

QCoro::Task<> DictationController::insert(std::optional<QFuture<void>> previous,
                                          QFuture<std::optional<DictationRecord>> transcriptHandle,
                                          std::weak_ptr<DictationController> weak, double seconds,
                                          Clock::time_point release) {
  if (previous) co_await *previous;
  std::optional<DictationRecord> transcript = co_await transcriptHandle;
  auto self = weak.lock();
  if (!self) co_return;
  if (!transcript) {
    self->report(dictation_state::Failed{noTextMessage});
  } else if (transcript->text.isEmpty()) {
    self->report(dictation_state::Failed{emptyMessage});
  } else {
    transcript->seconds = seconds;
    self->finishInsert(std::move(*transcript), release);
  }
}

void DictationController::finishInsert(DictationRecord record, Clock::time_point release) {
  record.outcome = parts_.inserter->insert(record.text);
  record.totalMs = msSince(release);
  lastText_ = record.text;

  const bool secure =
      record.outcome == InsertOutcome(insert_outcome::HeldBack{FocusVerdict::secureInput});
  if (parts_.history && !secure) {
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    parts_.history->append(History::Entry{now, record.text, record.raw, storedForm(record.cleanup),
                                          record.seconds, describe(record.outcome),
                                          storedForm(record.engine)});
  }
  Log::info(timingLine(record));
  if (onRecord) onRecord(record);
  report(dictation_state::Done{record.outcome});
}

}  // namespace talvo
