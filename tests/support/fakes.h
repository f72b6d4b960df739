#pragma once

// Recording fakes of the pipeline interfaces, for testing the logic that drives them. A step
// that a test wants to hold back (a session opening, a transcript) waits on a Gate.

#include "pipeline/contracts.h"
#include "pipeline/errors.h"
#include "support/qt_printers.h"

#include <QCoroFuture>
#include <QPromise>

#include <atomic>
#include <optional>
#include <thread>

namespace talvo::test {

// `frames` frames of the constant `value` on every channel.
inline AudioBuffer levelBuffer(uint32_t frames, float value, double rate = 48000,
                               uint32_t channels = 1) {
  AudioBuffer buffer(floatFormat(rate, channels), frames);
  for (uint32_t ch = 0; ch < channels; ++ch) std::fill_n(buffer.floatChannel(ch), frames, value);
  buffer.setFrameLength(frames);
  return buffer;
}

// Open until closed; a step that passes a closed gate waits until the test opens it.
struct Gate {
  std::shared_ptr<QPromise<void>> closed;

  void close() {
    closed = std::make_shared<QPromise<void>>();
    closed->start();
  }
  void open() {
    if (auto promise = std::exchange(closed, nullptr)) promise->finish();
  }
  QCoro::Task<> pass() const {
    if (!closed) co_return;
    QFuture<void> opened = closed->future();  // named: g++ 12 mishandles awaited temporaries
    co_await opened;
  }
};

class FakeAudioSource : public AudioSource {
public:
  std::optional<DictationErrorCode> failStart;
  int stops = 0;
  BufferHandler handler;  // as the controller set it
  AudioFormat format() const override { return floatFormat(48000, 1); }
  void setOnBuffer(BufferHandler h) override { handler = std::move(h); }
  void prepare() override {}
  void start() override {
    if (failStart) throw DictationError(*failStart);
  }
  void stop() override { ++stops; }
  // Hands `buffer` over `times` times from a thread of its own, as a capture thread would.
  void deliver(const AudioBuffer& buffer, int times = 1) {
    std::thread([&] {
      while (times-- > 0) handler(buffer);
    }).join();
  }
};

class FakeSession : public TranscriptionSession {
public:
  QString transcript = QStringLiteral("hello world");
  std::vector<SpokenWord> words{{"hello", 0.9, false}, {"world", 0.3, true}};
  bool failFinish = false;
  Gate opening, finishing;  // begin() hands the session out, and finish() returns, when open
  std::atomic<int64_t> frames{0};
  std::vector<float> firstSamples;  // one per buffer appended; read once appending is over
  std::atomic<bool> finished{false}, cancelled{false};
  SpeechEngine engineUsed = SpeechEngine::recogniser;

  void append(const AudioBuffer& buffer) override {
    frames += buffer.frameLength();
    firstSamples.push_back(buffer.floatChannel(0)[0]);
  }
  QCoro::Task<QString> finish() override {
    QCoro::Task<> gate = finishing.pass();
    co_await gate;
    if (failFinish) throw Error(QStringLiteral("decoder fell over"));
    finished = true;
    co_return QString(transcript);  // a copy: the task would move from a member
  }
  QCoro::Task<> cancel() override {
    cancelled = true;
    co_return;
  }
  std::vector<SpokenWord> recognizedWords() const override {
    return finished ? words : std::vector<SpokenWord>{};
  }
  SpeechEngine engine() const override { return engineUsed; }
};

class FakeTranscriber : public Transcriber {
public:
  std::vector<std::shared_ptr<FakeSession>> sessions;  // handed out in order, made on demand
  bool failBegin = false;
  std::vector<QStringList> termsSeen;
  std::vector<PartialHandler> partials;
  std::shared_ptr<FakeSession> session(std::size_t index) {
    while (sessions.size() <= index) sessions.push_back(std::make_shared<FakeSession>());
    return sessions[index];
  }
  QCoro::Task<> prepare(AudioFormat) override { co_return; }
  QCoro::Task<std::shared_ptr<TranscriptionSession>> begin(QStringList terms, AudioFormat,
                                                           PartialHandler onPartial) override {
    termsSeen.push_back(terms);
    partials.push_back(onPartial);
    auto next = session(termsSeen.size() - 1);
    QCoro::Task<> gate = next->opening.pass();
    co_await gate;
    if (failBegin) throw Error(QStringLiteral("no decoder"));
    co_return next;
  }
};

class FakeCleaner : public Cleaner {
public:
  std::optional<CleanupResult> result;  // by default the text comes back unchanged, by rules
  std::vector<QStringList> prewarmed;
  std::vector<QString> cleaned;
  AIStatus status() const override { return AIStatus::disabledByUser; }
  void prewarm(QStringList terms) override { prewarmed.push_back(terms); }
  QCoro::Task<CleanupResult> clean(QString text, QStringList) override {
    cleaned.push_back(text);
    co_return result.value_or(CleanupResult{text, CleanupResult::Kind::rules, {}});
  }
};

class FakeInserter : public Inserter {
public:
  InsertOutcome outcome = insert_outcome::Pasted{};
  std::vector<QString> texts;
  InsertOutcome insert(const QString& text) override {
    texts.push_back(text);
    return outcome;
  }
};

}  // namespace talvo::test
