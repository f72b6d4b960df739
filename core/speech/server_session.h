#pragma once

#include "pipeline/contracts.h"
#include "speech/server_transcriber.h"
#include "speech/wav_take.h"

#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QNetworkAccessManager;

namespace talvo::speech {

// One dictation with a speech server ready: the recogniser's session does everything it
// always does; its audio is also written to a WAV take, which goes to the server at
// release. Whichever text is used, the recogniser's session is finished or cancelled.
class ServerSession final : public TranscriptionSession,
                            public std::enable_shared_from_this<ServerSession> {
public:
  struct Target {
    std::shared_ptr<QNetworkAccessManager> network;
    QUrl endpoint;
    QString model;
    QStringList terms;
    ServerTranscriber::Budget budget;
  };

  // `onFailure` is called on the main thread when the server's answer is not used.
  static std::shared_ptr<ServerSession> wrap(std::shared_ptr<TranscriptionSession> recogniser,
                                             Target target, std::function<void()> onFailure);

  void append(const AudioBuffer& buffer) override;
  QCoro::Task<QString> finish() override;
  QCoro::Task<> cancel() override;
  std::vector<SpokenWord> recognizedWords() const override;
  SpeechEngine engine() const override { return engine_.load(); }

private:
  ServerSession(std::shared_ptr<TranscriptionSession> recogniser, Target target,
                std::function<void()> onFailure);

  std::shared_ptr<TranscriptionSession> recogniser_;
  Target target_;
  std::function<void()> onFailure_;
  WavTake take_;
  std::atomic<SpeechEngine> engine_{SpeechEngine::recogniser};
  mutable std::mutex wordsMutex_;
  std::vector<SpokenWord> words_;
};

}  // namespace talvo::speech
