#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <vector>

class QTcpSocket;

namespace talvo::test {

// A scripted HTTP/1.1 server on 127.0.0.1, one request per connection. Each path answers
// with its scripted reply (404 when none). Every request is recorded, and so is every
// client that hung up before its whole answer was sent.
class LoopbackHttp : public QObject {
public:
  struct Reply {
    int status = 200;
    QByteArray body{};
    bool announceLength = true;  // false: no Content-Length, the body ends when the line closes
    QByteArray extraHeaders{};   // whole header lines, each ending in "\r\n"
    qint64 filler = 0;           // this many spaces more after `body`, sent as the client reads
    bool silent = false;         // reads the request and never answers
  };
  struct Request {
    QByteArray method;
    QByteArray path;
    QByteArray body;
  };

  LoopbackHttp();

  QUrl url(const QByteArray& path = {}) const;
  void script(const QByteArray& path, Reply reply) { replies_[path] = std::move(reply); }
  // Stops listening, so that new connections are refused.
  void close() { server_.close(); }

  const std::vector<Request>& requests() const { return requests_; }
  int count(const QByteArray& path) const;
  const Request* last(const QByteArray& path) const;
  int hungUpEarly() const { return hungUpEarly_; }

private:
  struct Connection;

  void serve(QTcpSocket* socket);
  static void answer(QTcpSocket* socket, Connection& state);

  QMap<QByteArray, Reply> replies_;
  std::vector<Request> requests_;
  int hungUpEarly_ = 0;
  // Last, so its connections close while the records above still exist.
  QTcpServer server_;
};

// A chat completion body whose first choice says `content` and stopped for `finishReason`.
QByteArray chatCompletion(const QString& content,
                          const QString& finishReason = QStringLiteral("stop"));

}  // namespace talvo::test
