#include "cleanup/local_model_cleaner.h"

#include "cleanup/answer_check.h"
#include "cleanup/chat_exchange.h"
#include "cleanup/instructions.h"
#include "cleanup/model_endpoint.h"
#include "cleanup/reply_limit.h"
#include "cleanup/rules.h"
#include "pipeline/with_timeout.h"
#include "storage/log.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <algorithm>
#include <cmath>

namespace talvo {
namespace {

constexpr int kTokensPerWord = 3;
constexpr int kFewestTokens = 48;
constexpr double kPrewarmTimeout = 60.0;  // seconds; loading a model can take a while
// Only the probe's status code is used; a model list is a few kilobytes even for servers
// with many models. A larger body is not a model server's.
constexpr qint64 kMaxModelListBytes = 1 << 20;

int milliseconds(double seconds) {
  return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0));
}

CleanupResult ruled(const QString& text, const QString& note) {
  return {text, CleanupResult::Kind::rules, note};
}

}  // namespace

std::shared_ptr<LocalModelCleaner> LocalModelCleaner::create(Options options) {
  std::shared_ptr<LocalModelCleaner> cleaner(new LocalModelCleaner(std::move(options)));
  cleaner->refreshStatus();
  return cleaner;
}

LocalModelCleaner::LocalModelCleaner(Options options)
    : options_(std::move(options)),
      enabled_(options_.enabled),
      network_(std::make_shared<QNetworkAccessManager>()) {
  // A system proxy would carry the transcript off the machine.
  network_->setProxy(QNetworkProxy::NoProxy);
  network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

LocalModelCleaner::~LocalModelCleaner() = default;

AIStatus LocalModelCleaner::status() const {
  if (!enabled_.load()) return AIStatus::disabledByUser;
  return probed_.load();
}

void LocalModelCleaner::setProbed(AIStatus status) {
  if (probed_.exchange(status) != status)
    Log::info(QStringLiteral("ai cleanup: status ") + toString(status));
}

void LocalModelCleaner::refreshStatus() {
  const quint64 generation = ++probeGeneration_;
  if (auto verdict = endpointVerdict(options_.endpoint)) {
    setProbed(*verdict);
    return;
  }
  if (!enabled_.load()) return;

  QNetworkRequest request =
      localRequest(endpointRoute(options_.endpoint, QStringLiteral("v1/models")));
  request.setTransferTimeout(milliseconds(options_.probeTimeout));
  QNetworkReply* reply = network_->get(request);
  limitReplySize(reply, kMaxModelListBytes);
  std::weak_ptr<LocalModelCleaner> weak = weak_from_this();
  QObject::connect(reply, &QNetworkReply::finished, reply, [weak, reply, generation] {
    reply->deleteLater();
    auto self = weak.lock();
    if (!self || self->probeGeneration_ != generation) return;
    const int http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    self->setProbed(cutOffForSize(reply) ? AIStatus::unknown : probeVerdict(reply->error(), http));
  });
}

void LocalModelCleaner::prewarm(QStringList terms) {
  const bool wasReady = status() == AIStatus::ready;
  refreshStatus();
  if (wasReady) sendPrewarm(terms);
}

void LocalModelCleaner::sendPrewarm(const QStringList& terms) {
  const ChatRequest chat{options_.model, cleanupInstructions(terms),
                         QStringLiteral("Transcript:\n"), 1};
  QNetworkRequest request =
      localRequest(endpointRoute(options_.endpoint, QStringLiteral("v1/chat/completions")));
  request.setTransferTimeout(milliseconds(kPrewarmTimeout));
  QNetworkReply* reply = network_->post(request, chatRequestBody(chat));
  // Nobody reads the answer; it is only held until the reply goes.
  limitReplySize(reply, kMaxAnswerBytes);
  QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

QCoro::Task<CleanupResult> LocalModelCleaner::clean(QString text, QStringList terms) {
  // Kept alive until the answer is in, even if its owner lets go meanwhile.
  const auto self = shared_from_this();
  const QString ruledText = Rules::clean(text);
  const AIStatus current = status();
  if (current != AIStatus::ready) co_return ruled(ruledText, toString(current));
  if (!Rules::needsAI(text)) co_return ruled(ruledText, QStringLiteral("short"));

  const ChatRequest chat{options_.model, cleanupInstructions(terms),
                         QStringLiteral("Transcript:\n") + text,
                         std::max(kTokensPerWord * wordCount(text), kFewestTokens)};
  const QUrl url = endpointRoute(options_.endpoint, QStringLiteral("v1/chat/completions"));
  Operation<ChatAnswer> ask = [network = network_, url,
                               body = chatRequestBody(chat)](Cancellation cancel) {
    return askModel(network, url, body, std::move(cancel));
  };
  QString failure;
  try {
    const ChatAnswer answer = co_await withTimeout<ChatAnswer>(options_.timeout, std::move(ask));
    // An answer cut off at the token limit would silently drop the end of what was said.
    if (answer.cutOff) {
      Log::info(QStringLiteral("ai cleanup: answer cut off at the token limit"));
      co_return ruled(ruledText, QStringLiteral("off-script"));
    }
    if (auto candidate = accept(text, answer.text)) {
      QString cleaned = Rules::clean(*candidate);
      if (keepsLayout(ruledText, cleaned))
        co_return CleanupResult{std::move(cleaned), CleanupResult::Kind::ai, QString()};
    }
    co_return ruled(ruledText, QStringLiteral("off-script"));
  } catch (const TimeoutError&) {
    failure = QStringLiteral("timeout");
  } catch (...) {
    failure = QStringLiteral("error: ") + errorText(std::current_exception());
  }
  // The server may have gone or be busy loading: the next status read should know.
  refreshStatus();
  co_return ruled(ruledText, failure);
}

std::optional<QString> LocalModelCleaner::accept(const QString& raw, const QString& output) {
  return acceptAnswer(raw, output);
}

void LocalModelCleaner::setEnabled(bool enabled) {
  if (enabled_.exchange(enabled) == enabled) return;
  if (enabled) refreshStatus();
}

void LocalModelCleaner::setEndpoint(QUrl endpoint) {
  if (endpoint == options_.endpoint) return;
  options_.endpoint = std::move(endpoint);
  // The old server's verdict says nothing about the new one.
  setProbed(AIStatus::unknown);
  refreshStatus();
}

void LocalModelCleaner::setModel(QString model) { options_.model = std::move(model); }

}  // namespace talvo
