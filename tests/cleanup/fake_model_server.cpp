#include "fake_model_server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace talvo::test {
namespace {

QByteArray reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

// Per connection: what has arrived so far and whether the answer went out.
struct Connection {
  QByteArray buffer;
  bool requestDone = false;
  bool answered = false;
};

}  // namespace

FakeModelServer::FakeModelServer() {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, &FakeModelServer::accept);
}

QUrl FakeModelServer::endpoint() const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()));
}

int FakeModelServer::count(const QByteArray& path) const {
  int n = 0;
  for (const Request& r : requests_) n += r.path == path;
  return n;
}

const FakeModelServer::Request* FakeModelServer::last(const QByteArray& path) const {
  for (auto it = requests_.rbegin(); it != requests_.rend(); ++it)
    if (it->path == path) return &*it;
  return nullptr;
}

void FakeModelServer::accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
}

void FakeModelServer::serve(QTcpSocket* socket) {
  auto state = std::make_shared<Connection>();
  connect(socket, &QTcpSocket::disconnected, this, [this, socket, state] {
    if (state->requestDone && !state->answered) ++hungUpEarly_;
    socket->deleteLater();
  });
  connect(socket, &QTcpSocket::readyRead, this, [this, socket, state] {
    state->buffer += socket->readAll();
    if (state->requestDone) return;
    const qsizetype headerEnd = state->buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) return;
    const QList<QByteArray> lines = state->buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    qsizetype length = 0;
    for (const QByteArray& line : lines)
      if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
    if (state->buffer.size() < headerEnd + 4 + length) return;

    state->requestDone = true;
    Request request{first.value(0), first.value(1), state->buffer.mid(headerEnd + 4, length)};
    requests_.push_back(request);
    const Reply reply = replies_.value(request.path, Reply(404, "{}"));

    QPointer<QTcpSocket> guard = socket;
    QTimer::singleShot(reply.delayMs, this, [guard, state, reply] {
      if (!guard || guard->state() != QAbstractSocket::ConnectedState) return;
      QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) +
                        "\r\nContent-Type: application/json\r\nConnection: close\r\n" +
                        reply.extraHeaders;
      if (reply.announceLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
      state->answered = true;
      guard->write(head + "\r\n" + reply.body);
      guard->disconnectFromHost();
    });
  });
}

QByteArray chatCompletion(const QString& content, const QString& finishReason) {
  const QJsonObject message{{"role", "assistant"}, {"content", content}};
  const QJsonObject choice{{"index", 0}, {"message", message}, {"finish_reason", finishReason}};
  const QJsonObject body{{"object", "chat.completion"}, {"choices", QJsonArray{choice}}};
  return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

}  // namespace talvo::test
