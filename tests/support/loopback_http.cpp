#include "support/loopback_http.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include <algorithm>
#include <memory>

namespace talvo::test {
namespace {

// Filler goes out in chunks, and only while the socket has little queued: the server
// never gets ahead of a client that stopped reading.
constexpr qint64 kChunk = qint64{64} * 1024;
constexpr qint64 kMostQueued = 4 * kChunk;

}  // namespace

struct LoopbackHttp::Connection {
  QByteArray buffer;
  Reply reply;
  bool requestDone = false;
  bool answered = false;  // every byte of the answer was handed to the socket
  qint64 fillerLeft = 0;
};

LoopbackHttp::LoopbackHttp() {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
  });
}

QUrl LoopbackHttp::url(const QByteArray& path) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()) +
              QString::fromUtf8(path));
}

int LoopbackHttp::count(const QByteArray& path) const {
  int n = 0;
  for (const Request& r : requests_) n += r.path == path;
  return n;
}

const LoopbackHttp::Request* LoopbackHttp::last(const QByteArray& path) const {
  const auto found = std::find_if(requests_.rbegin(), requests_.rend(),
                                  [&](const Request& request) { return request.path == path; });
  return found == requests_.rend() ? nullptr : &*found;
}

void LoopbackHttp::serve(QTcpSocket* socket) {
  auto state = std::make_shared<Connection>();
  connect(socket, &QTcpSocket::disconnected, this, [this, socket, state] {
    if (state->requestDone && !state->answered) ++hungUpEarly_;
    state->answered = true;  // counted once
    socket->deleteLater();
  });
  connect(socket, &QTcpSocket::bytesWritten, this, [socket, state] { answer(socket, *state); });
  connect(socket, &QTcpSocket::readyRead, this, [this, socket, state] {
    state->buffer += socket->readAll();
    if (state->requestDone) return;
    const qsizetype headerEnd = state->buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) return;
    const QList<QByteArray> lines = state->buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    qsizetype length = 0;
    for (const QByteArray& line : lines)
      if (line.toLower().startsWith("content-length:"))
        length = line.mid(15).trimmed().toLongLong();
    if (state->buffer.size() < headerEnd + 4 + length) return;

    state->requestDone = true;
    requests_.push_back({first.value(0), first.value(1), state->buffer.mid(headerEnd + 4, length)});
    state->reply = replies_.value(requests_.back().path, Reply{.status = 404, .body = "{}"});
    if (state->reply.silent) return;
    const Reply& reply = state->reply;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) +
                      " Scripted\r\nContent-Type: application/json\r\nConnection: close\r\n" +
                      reply.extraHeaders;
    if (reply.announceLength)
      head += "Content-Length: " + QByteArray::number(reply.body.size() + reply.filler) + "\r\n";
    state->fillerLeft = reply.filler;
    socket->write(head + "\r\n" + reply.body);
    answer(socket, *state);
  });
}

void LoopbackHttp::answer(QTcpSocket* socket, Connection& state) {
  if (!state.requestDone || state.answered || state.reply.silent) return;
  while (state.fillerLeft > 0 && socket->bytesToWrite() < kMostQueued) {
    const qint64 size = std::min(kChunk, state.fillerLeft);
    socket->write(QByteArray(size, ' '));
    state.fillerLeft -= size;
  }
  if (state.fillerLeft > 0) return;
  state.answered = true;
  socket->disconnectFromHost();
}

QByteArray chatCompletion(const QString& content, const QString& finishReason) {
  const QJsonObject message{{"role", "assistant"}, {"content", content}};
  const QJsonObject choice{{"index", 0}, {"message", message}, {"finish_reason", finishReason}};
  const QJsonObject body{{"object", "chat.completion"}, {"choices", QJsonArray{choice}}};
  return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

}  // namespace talvo::test
