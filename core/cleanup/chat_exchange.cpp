#include "cleanup/chat_exchange.h"

#include "cleanup/reply_limit.h"

#include <QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include <nlohmann/json.hpp>

namespace talvo {
namespace {

using nlohmann::json;

std::string utf8(const QString& text) { return text.toStdString(); }

struct LaterDeleter {
  void operator()(QObject* object) const { object->deleteLater(); }
};

}  // namespace

QByteArray chatRequestBody(const ChatRequest& chat) {
  json body = json::object();
  if (!chat.model.isEmpty()) body["model"] = utf8(chat.model);
  body["messages"] = json::array({
      {{"role", "system"}, {"content", utf8(chat.instructions)}},
      {{"role", "user"}, {"content", utf8(chat.prompt)}},
  });
  body["temperature"] = 0;
  body["max_tokens"] = chat.maxTokens;
  body["stream"] = false;
  return QByteArray::fromStdString(body.dump(-1, ' ', false, json::error_handler_t::replace));
}

QNetworkRequest localRequest(const QUrl& url) {
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
  request.setRawHeader("Accept", "application/json");
  return request;
}

ChatAnswer chatAnswer(const QByteArray& body) {
  const json parsed = json::parse(body.begin(), body.end(), nullptr, false);
  if (parsed.is_discarded()) throw ModelError(QStringLiteral("the model's answer is not JSON"));
  const json* content = nullptr;
  bool cutOff = false;
  if (parsed.is_object()) {
    const auto choices = parsed.find("choices");
    if (choices != parsed.end() && choices->is_array() && !choices->empty() &&
        choices->front().is_object()) {
      const json& choice = choices->front();
      const auto finish = choice.find("finish_reason");
      cutOff = finish != choice.end() && *finish == "length";
      const auto message = choice.find("message");
      if (message != choice.end() && message->is_object()) {
        const auto text = message->find("content");
        if (text != message->end()) content = &*text;
      }
    }
  }
  if (!content || !content->is_string())
    throw ModelError(QStringLiteral("the model's answer has no message text"));
  return {QString::fromStdString(content->get<std::string>()), cutOff};
}

QCoro::Task<QByteArray> localAnswer(QNetworkReply* sent, qint64 maxBytes, Cancellation cancel) {
  std::unique_ptr<QNetworkReply, LaterDeleter> reply(sent);
  limitReplySize(reply.get(), maxBytes);
  QPointer<QNetworkReply> guard = reply.get();
  cancel.onCancel([guard] {
    if (guard) guard->abort();
  });

  co_await reply.get();

  if (cutOffForSize(reply.get()) || reply->bytesAvailable() > maxBytes)
    throw ModelError(
        QStringLiteral("the model's answer is larger than %1 KiB").arg(maxBytes / 1024));
  if (cancel.isCancelled()) throw ModelError(QStringLiteral("the request was cancelled"));
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300))
    throw ModelError(QStringLiteral("the model server answered HTTP %1").arg(status.toInt()));
  if (reply->error() != QNetworkReply::NoError)
    throw ModelError(
        QStringLiteral("the model server could not be reached (%1)").arg(reply->errorString()));
  co_return reply->readAll();
}

QCoro::Task<ChatAnswer> askModel(std::shared_ptr<QNetworkAccessManager> network, QUrl url,
                                 QByteArray body, Cancellation cancel) {
  QCoro::Task<QByteArray> answering =
      localAnswer(network->post(localRequest(url), body), kMaxAnswerBytes, std::move(cancel));
  co_return chatAnswer(co_await answering);
}

}  // namespace talvo
