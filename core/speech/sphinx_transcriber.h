#pragma once

#include "pipeline/contracts.h"

#include <QString>

#include <functional>
#include <memory>

class QThreadPool;

namespace talvo::speech {

class DecoderPool;

// The program's recogniser: PocketSphinx with the US-English model. One for the whole
// program. The model is loaded once (prepare) and kept; each session borrows a loaded
// decoder and returns it when it ends. Destroying it waits for the loading it started.
class SphinxTranscriber final : public Transcriber {
public:
  struct Options {
    QString modelFolder;       // empty: the Debian model
    std::size_t keepIdle = 1;  // loaded decoders kept between sessions (~100 MB each)
  };

  SphinxTranscriber();
  explicit SphinxTranscriber(const Options& options);
  ~SphinxTranscriber() override;
  SphinxTranscriber(const SphinxTranscriber&) = delete;
  SphinxTranscriber& operator=(const SphinxTranscriber&) = delete;

  // The recognition language; the only model there is.
  static QString resolvedLocale() { return QStringLiteral("en-US"); }
  // Nothing is ever downloaded: throws DictationError(speechModelMissing) when the model
  // files are not there. `progress` is told 1 when they are.
  QCoro::Task<> ensureModel(std::function<void(double)> progress = {});

  QCoro::Task<> prepare(AudioFormat format) override;
  QCoro::Task<std::shared_ptr<TranscriptionSession>> begin(QStringList terms, AudioFormat format,
                                                           PartialHandler onPartial) override;

  // Loaded decoders waiting for a session.
  std::size_t idleDecoders() const;

private:
  std::shared_ptr<DecoderPool> pool_;
  // Loads and biases decoders off the main thread; drained when the transcriber goes.
  std::shared_ptr<QThreadPool> workers_;
};

}  // namespace talvo::speech
