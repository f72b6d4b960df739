#pragma once

#include "pipeline/contracts.h"
#include "speech/server_status.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace talvo::speech {

// Puts an optional local Whisper-class server in front of the recogniser. Live words and
// the recogniser's session stay exactly as they are; the take's audio is also kept as a
// WAV file, and at release it goes to the server while the recogniser finishes. The
// server's text wins when it comes back in time; any other outcome leaves the
// recogniser's. A server known to be down costs nothing: the cached status skips it.
// Lives on the thread that created it (the main thread).
class ServerTranscriber final : public Transcriber,
                                public std::enable_shared_from_this<ServerTranscriber> {
public:
  static constexpr double kDefaultProbeTimeout = 1.5;  // seconds for one status probe

  // How long an answer may take: `base` plus `perSecond` for each second of audio, at
  // most `longest`.
  struct Budget {
    double base = 1.5;
    double perSecond = 0.1;
    double longest = 6.0;

    double forSeconds(double seconds) const;
    bool operator==(const Budget&) const = default;
  };

  struct Options {
    QUrl endpoint{};  // the full transcription address; empty: no server
    QString model{};  // empty: whatever the server has loaded
    Budget budget{};
    double probeTimeout = kDefaultProbeTimeout;
  };

  // Starts the first status probe at once.
  static std::shared_ptr<ServerTranscriber> create(std::shared_ptr<Transcriber> recogniser,
                                                   Options options);
  ~ServerTranscriber() override;
  ServerTranscriber(const ServerTranscriber&) = delete;
  ServerTranscriber& operator=(const ServerTranscriber&) = delete;

  // Instant: the setting, the loopback check and the last probe's verdict.
  SpeechServerStatus status() const;
  // Probes the server again in the background.
  void refreshStatus();
  void setEndpoint(QUrl endpoint);
  void setModel(QString model);
  // Told of every status change, on this object's thread.
  std::function<void(SpeechServerStatus)> onStatus;

  QCoro::Task<> prepare(AudioFormat format) override;
  // Refreshes the status; when the server is ready, the session also keeps the take.
  QCoro::Task<std::shared_ptr<TranscriptionSession>> begin(QStringList terms, AudioFormat format,
                                                           PartialHandler onPartial) override;

private:
  ServerTranscriber(std::shared_ptr<Transcriber> recogniser, Options options);

  void setProbed(SpeechServerStatus probed);
  void checkEndpoint();

  std::shared_ptr<Transcriber> recogniser_;
  Options options_;
  bool refused_ = false;  // the endpoint is set but not on this machine
  std::atomic<SpeechServerStatus> probed_{SpeechServerStatus::unknown};
  std::shared_ptr<QNetworkAccessManager> network_;
  quint64 probeGeneration_ = 0;
};

}  // namespace talvo::speech
