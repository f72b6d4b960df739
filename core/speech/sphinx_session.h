#pragma once

#include "pipeline/audio_converter.h"
#include "pipeline/contracts.h"
#include "speech/decoder_pool.h"
#include "speech/transcript_collector.h"

#include <QFuture>
#include <QPromise>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace talvo::speech {

// One dictation's recognition. Audio is queued by append and decoded continuously on the
// session's own worker thread as it arrives, so that finish() only has the last few
// hundred milliseconds left to decode. The decoder goes back to its pool when the worker
// ends.
class SphinxSession final : public TranscriptionSession,
                            public std::enable_shared_from_this<SphinxSession> {
public:
  // The format the decoder takes.
  static AudioFormat analysisFormat() { return floatFormat(16000, 1); }

  static std::shared_ptr<SphinxSession> start(std::unique_ptr<SphinxDecoder> decoder,
                                              std::weak_ptr<DecoderPool> pool,
                                              Transcriber::PartialHandler onPartial);
  ~SphinxSession() override;
  SphinxSession(const SphinxSession&) = delete;
  SphinxSession& operator=(const SphinxSession&) = delete;

  void append(const AudioBuffer& buffer) override;
  QCoro::Task<QString> finish() override;
  QCoro::Task<> cancel() override;
  std::vector<SpokenWord> recognizedWords() const override;

private:
  SphinxSession(std::unique_ptr<SphinxDecoder> decoder, std::weak_ptr<DecoderPool> pool,
                Transcriber::PartialHandler onPartial);
  void close(bool cancel);
  void run();
  void decodeUntilClosed();
  void finishUp();
  bool decode(const AudioBuffer& buffer);
  bool convertAndDecode(const AudioBuffer& buffer);
  bool flushConverter();
  bool feed(const AudioBuffer& analysis);
  void afterChunk();
  void endUtterance();
  void report(std::vector<SpokenWord> words);

  // Worker only.
  std::unique_ptr<SphinxDecoder> decoder_;
  std::weak_ptr<DecoderPool> pool_;
  Transcriber::PartialHandler onPartial_;
  std::unique_ptr<AudioConverter> converter_;
  TranscriptCollector collector_;
  std::vector<int16_t> samples_;
  bool wasInSpeech_ = false;
  std::size_t sinceGuess_ = 0;
  std::vector<TextPiece> lastGuess_;

  // Shared with append and the main thread.
  std::mutex queueMutex_;
  std::condition_variable wake_;
  std::deque<AudioBuffer> queue_;
  bool closed_ = false;
  std::atomic<bool> cancelled_{false};

  // Written by the worker before `done_` finishes; read after.
  QString transcript_;
  QString failure_;
  QPromise<void> done_;
  QFuture<void> doneFuture_;

  mutable std::mutex wordsMutex_;
  std::vector<SpokenWord> words_;

  std::thread worker_;
};

}  // namespace talvo::speech
