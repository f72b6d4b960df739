#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <map>

namespace talvo::test {

// A one-page HTTP server on 127.0.0.1 that answers every GET the way the test says.
class LoopbackServer : public QObject {
public:
  enum class Mode { answer, flood, silent };

  LoopbackServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { accept(); });
  }

  void answer(int status, QByteArray body) {
    mode_ = Mode::answer;
    status_ = status;
    body_ = std::move(body);
  }
  // A body of `bytes` bytes with no announced length, ended by closing the connection.
  void flood(qint64 bytes) {
    mode_ = Mode::flood;
    floodBytes_ = bytes;
  }
  // Reads the request and never answers.
  void silent() { mode_ = Mode::silent; }

  QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/version.json").arg(server_.serverPort())); }
  int requests() const { return requests_; }
  // Stops listening, so that connections are refused.
  void close() { server_.close(); }

private:
  void accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      socket->setParent(this);
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { readRequest(socket); });
    }
  }

  void readRequest(QTcpSocket* socket) {
    QByteArray& request = pending_[socket];
    request += socket->readAll();
    if (!request.contains("\r\n\r\n")) return;
    ++requests_;
    if (mode_ == Mode::silent) return;
    if (mode_ == Mode::flood) {
      socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n");
      socket->write(QByteArray(floodBytes_, ' '));
      socket->disconnectFromHost();
      return;
    }
    const QByteArray head = "HTTP/1.1 " + QByteArray::number(status_) + " Whatever\r\n" +
                            "Content-Type: application/json\r\nContent-Length: " +
                            QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n";
    socket->write(head + body_);
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  std::map<QTcpSocket*, QByteArray> pending_;
  Mode mode_ = Mode::answer;
  int status_ = 200;
  QByteArray body_;
  qint64 floodBytes_ = 0;
  int requests_ = 0;
};

}  // namespace talvo::test
