#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <vector>

namespace talvo::test {

// A scripted HTTP/1.1 server on 127.0.0.1 that stands in for a local model server.
// Each path answers with its scripted reply (404 when none); every request is recorded,
// and so is every client that hung up before its answer was sent.
class FakeModelServer : public QObject {
public:
  struct Reply {
    Reply(int status = 200, QByteArray body = {}, int delayMs = 0, bool announceLength = true,
          QByteArray extraHeaders = {})
        : status(status), body(std::move(body)), delayMs(delayMs),
          announceLength(announceLength), extraHeaders(std::move(extraHeaders)) {}

    int status;
    QByteArray body;
    int delayMs;
    bool announceLength;      // false: no Content-Length, the body ends when the line closes
    QByteArray extraHeaders;  // whole header lines, each ending in "\r\n"
  };
  struct Request {
    QByteArray method;
    QByteArray path;
    QByteArray body;
  };

  FakeModelServer();

  QUrl endpoint() const;
  void script(const QByteArray& path, Reply reply) { replies_[path] = std::move(reply); }
  // Stops listening, so that new connections are refused.
  void close() { server_.close(); }

  const std::vector<Request>& requests() const { return requests_; }
  int count(const QByteArray& path) const;
  const Request* last(const QByteArray& path) const;
  int hungUpEarly() const { return hungUpEarly_; }

private:
  void accept();
  void serve(class QTcpSocket* socket);

  QTcpServer server_;
  QMap<QByteArray, Reply> replies_;
  std::vector<Request> requests_;
  int hungUpEarly_ = 0;
};

// A chat completion body whose first choice says `content` and stopped for `finishReason`.
QByteArray chatCompletion(const QString& content, const QString& finishReason = QStringLiteral("stop"));

}  // namespace talvo::test
