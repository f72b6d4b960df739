#pragma once

// Recording fakes of the pipeline interfaces, scripted with delays and failures, for
// testing the logic that drives them.

#include "pipeline/contracts.h"
#include "pipeline/errors.h"

#include <QCoroTimer>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace talvo::test {

// A constant-level buffer; frames at `rate` Hz.
inline AudioBuffer levelBuffer(uint32_t frames, float value, double rate = 48000,
                               uint32_t channels = 1) {
  AudioBuffer buffer(floatFormat(rate, channels), frames);
  for (uint32_t ch = 0; ch < channels; ++ch) std::fill_n(buffer.floatChannel(ch), frames, value);
  buffer.setFrameLength(frames);
  return buffer;
}

class FakeAudioSource : public AudioSource {
public:
  AudioFormat fmt = floatFormat(48000, 1);
  std::optional<DictationErrorCode> failStart;
  int starts = 0;
  int stops = 0;

  AudioFormat format() const override { return fmt; }
  void setOnBuffer(BufferHandler handler) override { handler_ = std::move(handler); }
  void prepare() override {}
  void start() override {
    ++starts;
    if (failStart) throw DictationError(*failStart);
  }
  void stop() override { ++stops; }

  // Delivers on the calling thread, as a capture thread would.
  void deliver(const AudioBuffer& buffer) {
    if (handler_) handler_(buffer);
  }
  // Delivers `seconds` of audio at `value` in 10 ms buffers from a thread of its own.
  void deliverFromThread(double seconds, float value) {
    const auto total = uint32_t(seconds * fmt.sampleRate);
    std::thread([this, total, value] {
      const uint32_t chunk = uint32_t(fmt.sampleRate / 100);
      for (uint32_t sent = 0; sent < total; sent += chunk)
        deliver(levelBuffer(std::min(chunk, total - sent), value, fmt.sampleRate));
    }).join();
  }

private:
  BufferHandler handler_;
};

class FakeSession : public TranscriptionSession {
public:
  QString transcript = QStringLiteral("hello world");
  std::vector<SpokenWord> words{{QStringLiteral("hello"), 0.9, false},
                                {QStringLiteral("world"), 0.8, false}};
  std::chrono::milliseconds finishDelay{0};
  bool failFinish = false;

  std::atomic<int> appended{0};
  std::atomic<int64_t> appendedFrames{0};
  std::atomic<bool> finished{false};
  std::atomic<bool> cancelled{false};

  void append(const AudioBuffer& buffer) override {
    ++appended;
    appendedFrames += buffer.frameLength();
  }
  QCoro::Task<QString> finish() override {
    if (finishDelay.count() > 0) co_await QCoro::sleepFor(finishDelay);
    if (failFinish) throw Error(QStringLiteral("decoder fell over"));
    finished = true;
    std::lock_guard guard(lock_);
    done_ = true;
    co_return transcript;
  }
  QCoro::Task<> cancel() override {
    cancelled = true;
    co_return;
  }
  std::vector<SpokenWord> recognizedWords() const override {
    std::lock_guard guard(lock_);
    return done_ ? words : std::vector<SpokenWord>{};
  }

private:
  mutable std::mutex lock_;
  bool done_ = false;
};

class FakeTranscriber : public Transcriber {
public:
  // Sessions handed out, in order; a fresh default one when the list runs out.
  std::vector<std::shared_ptr<FakeSession>> sessions;
  std::chrono::milliseconds beginDelay{0};
  bool failBegin = false;
  std::vector<QStringList> termsSeen;
  std::vector<PartialHandler> partials;
  std::vector<std::shared_ptr<FakeSession>> opened;

  QCoro::Task<> prepare(AudioFormat) override { co_return; }
  QCoro::Task<std::shared_ptr<TranscriptionSession>> begin(QStringList terms, AudioFormat,
                                                            PartialHandler onPartial) override {
    termsSeen.push_back(terms);
    partials.push_back(onPartial);
    if (beginDelay.count() > 0) co_await QCoro::sleepFor(beginDelay);
    if (failBegin) throw Error(QStringLiteral("no decoder"));
    std::shared_ptr<FakeSession> session;
    if (opened.size() < sessions.size())
      session = sessions[opened.size()];
    else
      session = std::make_shared<FakeSession>();
    opened.push_back(session);
    co_return session;
  }
};

class FakeCleaner : public Cleaner {
public:
  std::optional<CleanupResult> result;  // default: the text unchanged, by rules
  std::vector<QStringList> prewarmed;
  std::vector<QString> cleaned;

  AIStatus status() const override { return AIStatus::disabledByUser; }
  void prewarm(QStringList terms) override { prewarmed.push_back(terms); }
  QCoro::Task<CleanupResult> clean(QString text, QStringList) override {
    cleaned.push_back(text);
    co_return result ? *result : CleanupResult{text, CleanupResult::Kind::rules, {}};
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
