#include "speech/sphinx_transcriber.h"

#include "pipeline/audio_converter.h"
#include "pipeline/errors.h"
#include "speech/decoder_pool.h"
#include "speech/sphinx_session.h"
#include "speech/transcript_collector.h"
#include "storage/log.h"

#include <QCoroFuture>
#include <QFuture>
#include <QPromise>
#include <QThreadPool>

namespace talvo::speech {
namespace {

// A decoder made ready off the main thread (loading takes ~200 ms, biasing ~100 ms).
// Errors travel in the value: a QFuture carrying an exception never wakes its awaiters.
struct Readied {
  std::unique_ptr<SphinxDecoder> decoder;
  std::exception_ptr error;
};
using ReadiedPtr = std::shared_ptr<Readied>;

QFuture<ReadiedPtr> offMainThread(QThreadPool& workers, std::function<ReadiedPtr()> work) {
  auto promise = std::make_shared<QPromise<ReadiedPtr>>();
  QFuture<ReadiedPtr> future = promise->future();
  promise->start();
  workers.start([promise, work = std::move(work)] {
    promise->addResult(work());
    promise->finish();
  });
  return future;
}

// Loads a decoder when none was at hand, frees the unusable ones, and biases it.
ReadiedPtr ready(const std::shared_ptr<DecoderPool>& pool, std::unique_ptr<SphinxDecoder> decoder,
                 std::vector<std::unique_ptr<SphinxDecoder>> stale, const QStringList& terms) {
  auto result = std::make_shared<Readied>();
  try {
    stale.clear();
    if (!decoder) decoder = pool->load();
    decoder->favour(terms);
    result->decoder = std::move(decoder);
  } catch (...) {
    result->error = std::current_exception();
  }
  return result;
}

bool needsWork(const SphinxDecoder* decoder, const QStringList& terms) {
  if (!decoder) return true;
  for (const QString& term : terms)
    if (!decoder->favouredTerms().contains(term.simplified())) return true;
  return false;
}

}  // namespace

SphinxTranscriber::SphinxTranscriber() : SphinxTranscriber(Options{}) {}

SphinxTranscriber::SphinxTranscriber(const Options& options)
    : pool_(std::make_shared<DecoderPool>(
          options.modelFolder.isEmpty() ? defaultModelFolder() : options.modelFolder,
          std::max<std::size_t>(options.keepIdle, 1))),
      workers_(std::make_shared<QThreadPool>()) {}

// Loading and biasing may still run; nothing of ours may outlive us, least of all past
// the end of the program.
SphinxTranscriber::~SphinxTranscriber() { workers_->waitForDone(); }

std::size_t SphinxTranscriber::idleDecoders() const { return pool_->idleCount(); }

QCoro::Task<> SphinxTranscriber::ensureModel(std::function<void(double)> progress) {
  if (!modelFilesPresent(pool_->folder()))
    throw DictationError(DictationErrorCode::speechModelMissing);
  if (progress) progress(1.0);
  co_return;
}

QCoro::Task<> SphinxTranscriber::prepare(AudioFormat) {
  auto pool = pool_;
  auto workers = workers_;
  try {
    QCoro::Task<> checking = ensureModel();
    co_await checking;
    if (pool->idleCount() == 0) {
      // Named, not temporary: g++ 12 destroys temporaries of a co_await expression twice.
      QFuture<ReadiedPtr> loading =
          offMainThread(*workers, [pool] { return ready(pool, nullptr, {}, {}); });
      const ReadiedPtr readied = co_await loading;
      if (readied->error) std::rethrow_exception(readied->error);
      pool->giveBack(std::move(readied->decoder));
    }
  } catch (...) {
    Log::info(QStringLiteral("speech: prepare failed: ") + errorText(std::current_exception()));
    co_return;
  }
  Log::info(QStringLiteral("speech: model warm (%1)").arg(resolvedLocale()));
}

QCoro::Task<std::shared_ptr<TranscriptionSession>> SphinxTranscriber::begin(
    QStringList terms, AudioFormat format, PartialHandler onPartial) {
  auto pool = pool_;
  if (format != SphinxSession::analysisFormat() &&
      !AudioConverter::create(format, SphinxSession::analysisFormat()))
    throw DictationError(DictationErrorCode::noAudioFormat);
  terms = biasTerms(std::move(terms));

  std::vector<std::unique_ptr<SphinxDecoder>> stale;
  std::unique_ptr<SphinxDecoder> decoder = pool->take(terms, stale);
  if (needsWork(decoder.get(), terms) || !stale.empty()) {
    auto handOver = std::make_shared<
        std::pair<std::unique_ptr<SphinxDecoder>, std::vector<std::unique_ptr<SphinxDecoder>>>>(
        std::move(decoder), std::move(stale));
    QFuture<ReadiedPtr> readying = offMainThread(*workers_, [pool, handOver, terms] {
      return ready(pool, std::move(handOver->first), std::move(handOver->second), terms);
    });
    const ReadiedPtr readied = co_await readying;
    if (readied->error) std::rethrow_exception(readied->error);
    decoder = std::move(readied->decoder);
  }
  co_return SphinxSession::start(std::move(decoder), pool, std::move(onPartial));
}

}  // namespace talvo::speech
