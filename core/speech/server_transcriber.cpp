#include "speech/server_transcriber.h"

#include "cleanup/model_endpoint.h"
#include "cleanup/chat_exchange.h"
#include "cleanup/reply_limit.h"
#include "speech/server_session.h"
#include "storage/log.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <algorithm>
#include <cmath>

namespace talvo::speech {
namespace {

// Only the probe's status code is used; a server's front page is small.
constexpr qint64 kMaxProbeBytes = 1 << 20;

int milliseconds(double seconds) { return int(std::lround(std::max(0.0, seconds) * 1000.0)); }

// Any HTTP answer means a server is listening there; whisper.cpp's and most others say
// 503 while their model is still loading.
SpeechServerStatus probeVerdict(QNetworkReply::NetworkError error, int httpStatus) {
  if (httpStatus == 503) return SpeechServerStatus::loading;
  if (httpStatus > 0) return SpeechServerStatus::ready;
  if (error == QNetworkReply::ConnectionRefusedError) return SpeechServerStatus::notRunning;
  return SpeechServerStatus::unknown;
}

// The server's root: every server answers something there, whatever its routes are.
QUrl probeAddress(QUrl endpoint) {
  endpoint.setPath(QStringLiteral("/"));
  endpoint.setQuery(QString());
  endpoint.setFragment(QString());
  return endpoint;
}

}  // namespace

double ServerTranscriber::Budget::forSeconds(double seconds) const {
  return std::min(base + perSecond * std::max(0.0, seconds), longest);
}

std::shared_ptr<ServerTranscriber> ServerTranscriber::create(
    std::shared_ptr<Transcriber> recogniser, Options options) {
  std::shared_ptr<ServerTranscriber> transcriber(
      new ServerTranscriber(std::move(recogniser), std::move(options)));
  transcriber->checkEndpoint();
  transcriber->refreshStatus();
  return transcriber;
}

ServerTranscriber::ServerTranscriber(std::shared_ptr<Transcriber> recogniser, Options options)
    : recogniser_(std::move(recogniser)),
      options_(std::move(options)),
      network_(std::make_shared<QNetworkAccessManager>()) {
  // A system proxy would carry the speech off the machine.
  network_->setProxy(QNetworkProxy::NoProxy);
  network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

ServerTranscriber::~ServerTranscriber() = default;

SpeechServerStatus ServerTranscriber::status() const {
  if (options_.endpoint.isEmpty()) return SpeechServerStatus::off;
  if (refused_) return SpeechServerStatus::notAllowed;
  return probed_.load();
}

void ServerTranscriber::checkEndpoint() {
  refused_ = !options_.endpoint.isEmpty() && endpointVerdict(options_.endpoint).has_value();
  if (refused_)
    Log::info(QStringLiteral("speech server: refused %1: only an address on this computer is used")
                  .arg(options_.endpoint.toString()));
}

void ServerTranscriber::setProbed(SpeechServerStatus probed) {
  if (probed_.exchange(probed) == probed) return;
  Log::info(QStringLiteral("speech server: status ") + toString(probed));
  if (onStatus) onStatus(status());
}

void ServerTranscriber::refreshStatus() {
  const quint64 generation = ++probeGeneration_;
  if (status() == SpeechServerStatus::off || status() == SpeechServerStatus::notAllowed) return;
  QNetworkRequest request = localRequest(probeAddress(options_.endpoint));
  request.setTransferTimeout(milliseconds(options_.probeTimeout));
  QNetworkReply* reply = network_->get(request);
  limitReplySize(reply, kMaxProbeBytes);
  std::weak_ptr<ServerTranscriber> weak = weak_from_this();
  QObject::connect(reply, &QNetworkReply::finished, reply, [weak, reply, generation] {
    reply->deleteLater();
    auto self = weak.lock();
    if (!self || self->probeGeneration_ != generation) return;
    const int http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    self->setProbed(cutOffForSize(reply) ? SpeechServerStatus::ready
                                         : probeVerdict(reply->error(), http));
  });
}

void ServerTranscriber::setEndpoint(QUrl endpoint) {
  if (endpoint == options_.endpoint) return;
  options_.endpoint = std::move(endpoint);
  checkEndpoint();
  // The old server's verdict says nothing about the new one.
  ++probeGeneration_;
  probed_ = SpeechServerStatus::unknown;
  if (onStatus) onStatus(status());
  refreshStatus();
}

void ServerTranscriber::setModel(QString model) { options_.model = std::move(model); }

QCoro::Task<> ServerTranscriber::prepare(AudioFormat format) {
  const auto self = shared_from_this();
  QCoro::Task<> preparing = recogniser_->prepare(format);
  co_await preparing;
}

QCoro::Task<std::shared_ptr<TranscriptionSession>> ServerTranscriber::begin(
    QStringList terms, AudioFormat format, PartialHandler onPartial) {
  const auto self = shared_from_this();
  const bool ready = status() == SpeechServerStatus::ready;
  refreshStatus();
  QCoro::Task<std::shared_ptr<TranscriptionSession>> opening =
      recogniser_->begin(terms, format, std::move(onPartial));
  std::shared_ptr<TranscriptionSession> session = co_await opening;
  if (!ready) co_return session;
  ServerSession::Target target{network_, options_.endpoint, options_.model, std::move(terms),
                               options_.budget};
  std::weak_ptr<ServerTranscriber> weak = self;
  co_return ServerSession::wrap(std::move(session), std::move(target), [weak] {
    // The server may have gone or be busy loading: the next press should know.
    if (auto owner = weak.lock()) owner->refreshStatus();
  });
}

}  // namespace talvo::speech
