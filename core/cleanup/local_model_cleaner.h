#pragma once

#include "pipeline/contracts.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace talvo {

// The model pass of the cleanup, run by a local OpenAI-compatible server (llama-server,
// Ollama) on the loopback interface. Everything around the model is defensive: it is
// only asked when it is up, switched on and likely to help; its answer races a timer and
// is checked against the transcript; every other outcome is the rule-based text with a
// short note saying why. Lives on the thread that created it (the main thread).
class LocalModelCleaner final : public Cleaner,
                                public std::enable_shared_from_this<LocalModelCleaner> {
public:
  static constexpr double kDefaultTimeout = 4.0;       // seconds for one model answer
  static constexpr double kDefaultProbeTimeout = 1.5;  // seconds for one status probe

  struct Options {
    QUrl endpoint{QStringLiteral("http://127.0.0.1:8080")};
    QString model{};  // empty: whatever the server has loaded
    bool enabled = true;
    double timeout = kDefaultTimeout;
    double probeTimeout = kDefaultProbeTimeout;
  };

  // Starts the first status probe at once.
  static std::shared_ptr<LocalModelCleaner> create(Options options);
  LocalModelCleaner(const LocalModelCleaner&) = delete;
  LocalModelCleaner& operator=(const LocalModelCleaner&) = delete;
  ~LocalModelCleaner() override;

  // Instant: the switch, the endpoint check and the last probe's verdict.
  AIStatus status() const override;
  // Refreshes the status and, when the model is up, has it load and cache the
  // instructions with a one-token completion. Fire-and-forget.
  void prewarm(QStringList terms) override;
  QCoro::Task<CleanupResult> clean(QString text, QStringList terms) override;

  // The sanity check of a model answer; nullopt when it is not to be trusted.
  static std::optional<QString> accept(const QString& raw, const QString& output);

  // Probes the server again in the background.
  void refreshStatus();

  void setEnabled(bool enabled);
  void setEndpoint(QUrl endpoint);
  void setModel(QString model);

  bool enabled() const { return enabled_.load(); }
  QUrl endpoint() const { return options_.endpoint; }
  QString model() const { return options_.model; }

private:
  explicit LocalModelCleaner(Options options);

  void setProbed(AIStatus status);
  void sendPrewarm(const QStringList& terms);

  Options options_;
  std::atomic<bool> enabled_;
  std::atomic<AIStatus> probed_{AIStatus::unknown};
  std::shared_ptr<QNetworkAccessManager> network_;
  quint64 probeGeneration_ = 0;
};

}  // namespace talvo
