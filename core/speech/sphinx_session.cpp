#include "speech/sphinx_session.h"

#include "pipeline/errors.h"
#include "speech/converted_chunks.h"

#include <QCoroFuture>

#include <algorithm>
#include <cmath>

namespace talvo::speech {
namespace {

// Decoder calls are made in slices of this many samples, so cancel takes effect quickly.
constexpr std::size_t decodeSlice = 1600;
// The running guess is refreshed after this much new audio (16 kHz samples).
constexpr std::size_t guessInterval = 1600;

int16_t toSample(float value) {
  const float scaled = std::clamp(value, -1.0f, 1.0f) * 32767.0f;
  return int16_t(std::lrint(scaled));
}

}  // namespace

std::shared_ptr<SphinxSession> SphinxSession::start(std::unique_ptr<SphinxDecoder> decoder,
                                                    std::weak_ptr<DecoderPool> pool,
                                                    Transcriber::PartialHandler onPartial) {
  std::shared_ptr<SphinxSession> session(
      new SphinxSession(std::move(decoder), std::move(pool), std::move(onPartial)));
  session->worker_ = std::thread([raw = session.get()] { raw->run(); });
  return session;
}

SphinxSession::SphinxSession(std::unique_ptr<SphinxDecoder> decoder,
                             std::weak_ptr<DecoderPool> pool, Transcriber::PartialHandler onPartial)
    : decoder_(std::move(decoder)), pool_(std::move(pool)), onPartial_(std::move(onPartial)) {
  done_.start();
  doneFuture_ = done_.future();
}

SphinxSession::~SphinxSession() {
  close(true);
  if (worker_.joinable()) worker_.join();
}

void SphinxSession::append(const AudioBuffer& buffer) {
  if (buffer.frameLength() == 0) return;
  std::lock_guard lock(queueMutex_);
  if (closed_) return;
  queue_.push_back(buffer.copy());
  wake_.notify_one();
}

void SphinxSession::close(bool cancel) {
  {
    std::lock_guard lock(queueMutex_);
    closed_ = true;
    if (cancel) {
      cancelled_ = true;
      queue_.clear();
    }
  }
  wake_.notify_one();
}

QCoro::Task<QString> SphinxSession::finish() {
  auto self = shared_from_this();
  close(false);
  co_await doneFuture_;
  if (!failure_.isEmpty()) throw Error(failure_);
  co_return transcript_;
}

QCoro::Task<> SphinxSession::cancel() {
  auto self = shared_from_this();
  close(true);
  co_await doneFuture_;
}

std::vector<SpokenWord> SphinxSession::recognizedWords() const {
  std::lock_guard lock(wordsMutex_);
  return words_;
}

void SphinxSession::run() {
  try {
    decodeUntilClosed();
  } catch (...) {
    failure_ = errorText(std::current_exception());
  }
  if (decoder_->inUtterance()) decoder_->endUtterance();
  finishUp();
}

void SphinxSession::decodeUntilClosed() {
  decoder_->startUtterance();
  for (;;) {
    std::deque<AudioBuffer> batch;
    bool closing = false;
    {
      std::unique_lock lock(queueMutex_);
      wake_.wait(lock, [this] { return closed_ || !queue_.empty(); });
      batch.swap(queue_);
      closing = closed_;
    }
    bool ok = true;
    for (const AudioBuffer& buffer : batch) {
      if (cancelled_ || !(ok = decode(buffer))) break;
    }
    if (cancelled_ || !ok) break;
    if (closing) {
      {
        std::lock_guard lock(queueMutex_);
        if (!queue_.empty()) continue;
      }
      if (flushConverter()) endUtterance();
      break;
    }
  }
}

void SphinxSession::finishUp() {
  if (!cancelled_ && failure_.isEmpty()) {
    transcript_ = collector_.transcript();
    std::lock_guard lock(wordsMutex_);
    words_ = collector_.finalWords();
  }
  // Back to the pool before waking the caller, so that the next press finds it ready;
  // a decoder the pool has no room for is freed only after the caller is woken.
  std::unique_ptr<SphinxDecoder> surplus = std::move(decoder_);
  if (auto pool = pool_.lock()) surplus = pool->giveBack(std::move(surplus));
  done_.finish();
  surplus.reset();
}

bool SphinxSession::decode(const AudioBuffer& buffer) {
  if (buffer.format() == analysisFormat()) return feed(buffer);
  return convertAndDecode(buffer);
}

// A converter is made for the first buffer of another format and replaced (after its tail
// is decoded) when the incoming format changes. Buffers that cannot be converted are
// dropped; recognition goes on with the next one.
bool SphinxSession::convertAndDecode(const AudioBuffer& buffer) {
  if (!converter_ || converter_->inputFormat() != buffer.format()) {
    if (!flushConverter()) return false;
    converter_ = AudioConverter::create(buffer.format(), analysisFormat());
    if (!converter_) return true;
  }
  return convertInChunks(*converter_, analysisFormat(), buffer,
                         [this](const AudioBuffer& analysis) { return feed(analysis); });
}

bool SphinxSession::flushConverter() {
  if (!converter_) return true;
  if (!drainInChunks(*converter_, analysisFormat(), 4096,
                     [this](const AudioBuffer& analysis) { return feed(analysis); }))
    return false;
  converter_.reset();
  return true;
}

bool SphinxSession::feed(const AudioBuffer& analysis) {
  const float* data = analysis.floatChannel(0);
  const std::size_t frames = analysis.frameLength();
  if (!data) return true;
  samples_.resize(frames);
  std::transform(data, data + frames, samples_.begin(), toSample);
  for (std::size_t offset = 0; offset < frames; offset += decodeSlice) {
    if (cancelled_) return false;
    const std::size_t count = std::min(decodeSlice, frames - offset);
    decoder_->process(samples_.data() + offset, count);
    sinceGuess_ += count;
    afterChunk();
  }
  return true;
}

// An utterance ends when the voice detector stops hearing speech (about half a second
// after a pause); its words become a final result and the next utterance begins.
void SphinxSession::afterChunk() {
  const bool inSpeech = decoder_->inSpeech();
  if (wasInSpeech_ && !inSpeech) {
    endUtterance();
    decoder_->startUtterance();
  } else if (inSpeech && sinceGuess_ >= guessInterval) {
    sinceGuess_ = 0;
    std::vector<TextPiece> guess = decoder_->hypothesis();
    const bool same =
        std::equal(guess.begin(), guess.end(), lastGuess_.begin(), lastGuess_.end(),
                   [](const TextPiece& a, const TextPiece& b) { return a.text == b.text; });
    if (!same) {
      lastGuess_ = guess;
      report(collector_.addVolatile(guess));
    }
  }
  wasInSpeech_ = inSpeech;
}

void SphinxSession::endUtterance() {
  std::vector<TextPiece> words = decoder_->endUtterance();
  lastGuess_.clear();
  sinceGuess_ = 0;
  report(collector_.addFinal(words));
}

void SphinxSession::report(std::vector<SpokenWord> words) {
  if (onPartial_ && !cancelled_) onPartial_(std::move(words));
}

}  // namespace talvo::speech
