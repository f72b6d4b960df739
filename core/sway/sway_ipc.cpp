#include "sway/sway_ipc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace talvo::sway {
namespace {

constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype headerBytes = sizeof(magic) + 2 * sizeof(uint32_t);
constexpr qsizetype readChunk = 4096;

}  // namespace

std::unique_ptr<Connection> Connection::open(const QString& path, QString& why) {
  const QByteArray name = path.toLocal8Bit();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.isEmpty() || name.size() >= qsizetype(sizeof(address.sun_path))) {
    why = QStringLiteral("no usable compositor socket path");
    return nullptr;
  }
  std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
  file_io::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid() ||
      ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    why = QStringLiteral("cannot reach %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
    return nullptr;
  }
  return std::unique_ptr<Connection>(new Connection(std::move(fd)));
}

QString Connection::run(const QString& commands) {
  if (!send(message_type::runCommand, commands.toUtf8()))
    return QStringLiteral("the compositor went away");
  const std::optional<Message> answer = reply(message_type::runCommand);
  if (!answer) return QStringLiteral("the compositor did not answer");
  // One result per command: {"success": bool, "error": "..."}.
  const QJsonArray results = QJsonDocument::fromJson(answer->payload).array();
  if (results.isEmpty()) return QStringLiteral("the compositor's answer made no sense");
  for (const auto& result : results)
    if (!result.toObject().value(QLatin1String("success")).toBool())
      return result.toObject().value(QLatin1String("error")).toString(QStringLiteral("failed"));
  return {};
}

std::optional<QByteArray> Connection::ask(uint32_t type, const QByteArray& payload) {
  if (!send(type, payload)) return std::nullopt;
  std::optional<Message> answer = reply(type);
  if (!answer) return std::nullopt;
  return std::move(answer->payload);
}

bool Connection::subscribe(const QStringList& events) {
  if (!send(message_type::subscribe, QJsonDocument(QJsonArray::fromStringList(events)).toJson()))
    return false;
  const std::optional<Message> answer = reply(message_type::subscribe);
  return answer &&
         QJsonDocument::fromJson(answer->payload).object().value(QLatin1String("success")).toBool();
}

std::vector<Message> Connection::readAvailable() {
  while (fill(false)) {
  }
  std::vector<Message> arrived = std::move(events_);
  events_.clear();
  while (auto message = take()) arrived.push_back(std::move(*message));
  return arrived;
}

bool Connection::send(uint32_t type, const QByteArray& payload) {
  if (broken_) return false;
  QByteArray bytes(magic, sizeof(magic));
  const auto length = uint32_t(payload.size());
  bytes.append(reinterpret_cast<const char*>(&length), sizeof(length));
  bytes.append(reinterpret_cast<const char*>(&type), sizeof(type));
  bytes.append(payload);
  for (qsizetype sent = 0; sent < bytes.size();) {
    pollfd ready{fd_.get(), POLLOUT, 0};
    if (::poll(&ready, 1, replyTimeoutMs) <= 0) return false;
    const ssize_t n =
        ::send(fd_.get(), bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      broken_ = true;
      return false;
    }
    if (n > 0) sent += n;
  }
  return true;
}

// Events that come before the reply are kept for readAvailable.
std::optional<Message> Connection::reply(uint32_t type) {
  for (;;) {
    while (auto message = take()) {
      if (message->type == type) return message;
      events_.push_back(std::move(*message));
    }
    if (!fill(true)) return std::nullopt;
  }
}

// Reads one chunk into the buffer; with `wait`, waits for it up to the reply time-out.
bool Connection::fill(bool wait) {
  if (broken_) return false;
  pollfd ready{fd_.get(), POLLIN, 0};
  if (::poll(&ready, 1, wait ? replyTimeoutMs : 0) <= 0) return false;
  char chunk[readChunk];
  const ssize_t n = ::recv(fd_.get(), chunk, sizeof(chunk), 0);
  if (n <= 0) {
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return false;
    broken_ = true;  // the compositor went away
    return false;
  }
  buffer_.append(chunk, n);
  return true;
}

// A stream out of step cannot be read on: what follows would be taken for messages.
std::optional<Message> Connection::breakOff() {
  broken_ = true;
  buffer_.clear();
  return std::nullopt;
}

std::optional<Message> Connection::take() {
  if (buffer_.size() < headerBytes) return std::nullopt;
  // Copied out first: the compiler cannot tell that the size check keeps these reads in
  // bounds of the buffer.
  std::array<char, headerBytes> header{};
  std::copy_n(buffer_.cbegin(), headerBytes, header.begin());
  if (std::memcmp(header.data(), magic, sizeof(magic)) != 0) return breakOff();
  uint32_t length = 0;
  Message message;
  std::memcpy(&length, header.data() + sizeof(magic), sizeof(length));
  std::memcpy(&message.type, header.data() + sizeof(magic) + sizeof(length), sizeof(message.type));
  if (length > maxPayloadBytes) return breakOff();
  if (buffer_.size() < headerBytes + qsizetype(length)) return std::nullopt;
  message.payload = buffer_.mid(headerBytes, length);
  buffer_.remove(0, headerBytes + length);
  return message;
}

}  // namespace talvo::sway
