#pragma once

#include "pipeline/cancellation.h"
#include "pipeline/errors.h"

#include <QByteArray>
#include <QCoroTask>
#include <QNetworkRequest>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// One chat completion against a local OpenAI-compatible server.
namespace talvo {

// Answers above this size are refused while they are still being read.
constexpr qint64 kMaxAnswerBytes = qint64{64} * 1024;

// A request or answer the cleaner cannot use; the message becomes the cleanup note.
class ModelError : public Error {
public:
  using Error::Error;
};

struct ChatRequest {
  QString model;  // omitted from the request when empty: a single-model server needs none
  QString instructions;
  QString prompt;
  int maxTokens = 0;
};

QByteArray chatRequestBody(const ChatRequest& chat);
// A POST or GET to `url` that never follows a redirect: a redirect could lead away from
// the loopback host.
QNetworkRequest localRequest(const QUrl& url);

struct ChatAnswer {
  QString text;
  // The server stopped at the token limit: the text is missing its end.
  bool cutOff = false;
};

// The first choice of a chat completion body. Throws ModelError for a body that is not
// JSON or not shaped like a chat completion.
ChatAnswer chatAnswer(const QByteArray& body);

// Waits for a reply from a local server and returns its body, taking ownership of the
// reply. Cancelling aborts it on the wire. Throws ModelError for an HTTP failure, a body
// over `maxBytes`, or a cancelled request. Call before the event loop runs again.
QCoro::Task<QByteArray> localAnswer(QNetworkReply* sent, qint64 maxBytes, Cancellation cancel);

// Sends the request and returns the answer. Cancelling aborts the request on the
// wire. Throws ModelError for an HTTP failure, an oversized or malformed answer.
QCoro::Task<ChatAnswer> askModel(std::shared_ptr<QNetworkAccessManager> network, QUrl url,
                                 QByteArray body, Cancellation cancel);

}  // namespace talvo
